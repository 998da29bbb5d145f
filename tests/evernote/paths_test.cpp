// Path texts: file names and folders of registered program paths.
#include <gtest/gtest.h>

#include "evernote/paths.h"

namespace {

struct PathCase {
  const char16_t* path;
  const char16_t* fileName;
  const char16_t* folder;          // with a trailing backslash
  const char16_t* folderNoSlash;   // without
};

const PathCase kCases[] = {
    {u"C:\\Tools\\ENScript.exe", u"ENScript.exe", u"C:\\Tools\\", u"C:\\Tools"},
    {u"C:\\Program Files\\Evernote\\Evernote.exe", u"Evernote.exe",
     u"C:\\Program Files\\Evernote\\", u"C:\\Program Files\\Evernote"},
    // A drive root keeps its backslash either way.
    {u"C:\\ENScript.exe", u"ENScript.exe", u"C:\\", u"C:\\"},
    {u"C:ENScript.exe", u"ENScript.exe", u"C:\\", u"C:\\"},
    {u"ENScript.exe", u"ENScript.exe", u"", u""},
    {u"\\\\server\\share\\Evernote.exe", u"Evernote.exe", u"\\\\server\\share\\",
     u"\\\\server\\share"},
    {u"C:/Tools/ENScript.exe", u"ENScript.exe", u"C:/Tools/", u"C:/Tools"},
    {u"C:\\Tools\\", u"", u"C:\\Tools\\", u"C:\\Tools"},
    {u"", u"", u"", u""},
    // Quotes are part of the stored text and stay.
    {u"\"C:\\Evernote\\Evernote.exe\"", u"Evernote.exe\"", u"\"C:\\Evernote\\",
     u"\"C:\\Evernote"},
};

TEST(PathTexts, FileNameAndFolderOfEachPath) {
  for (const PathCase& c : kCases) {
    WideString path(c.path);
    std::string shown(path.begin(), path.end());
    EXPECT_EQ(PathFileName(path), WideString(c.fileName)) << shown;
    EXPECT_EQ(PathFolder(path, false), WideString(c.folder)) << shown;
    EXPECT_EQ(PathFolder(path, true), WideString(c.folderNoSlash)) << shown;
  }
}

struct NameCase {
  const char16_t* title;
  size_t maxUnits;
  const char16_t* name;
};

const NameCase kNameCases[] = {
    {u"Weekly planning", 100, u"Weekly planning"},
    {u"Q&A: <draft> \"v2\" a/b\\c|d?e*", 100, u"Q&A_ _draft_ _v2_ a_b_c_d_e_"},
    {u"<>:\"/\\|?*", 100, u"_________"},
    {u"tab\there\r\n", 100, u"tab_here__"},
    {u"  The Default Title ", 100, u"The Default Title"},
    {u"Ends with dots...", 100, u"Ends with dots"},
    {u"...", 100, u"Note"},
    {u"", 100, u"Note"},
    {u"con", 100, u"con_"},
    {u"NUL.txt", 100, u"NUL.txt_"},
    {u"COM1", 100, u"COM1_"},
    {u"COM10", 100, u"COM10"},
    {u"Console", 100, u"Console"},
    {u"\u0416\u0443\u0440\u043d\u0430\u043b", 100, u"\u0416\u0443\u0440\u043d\u0430\u043b"},
    {u"abcdef", 4, u"abcd"},
    {u"ab. cd", 4, u"ab"},
    {u"abc\U0001F600", 4, u"abc"},
};

TEST(FileNameFromTitle, ForbiddenCharactersDevicesAndLength) {
  for (const NameCase& c : kNameCases) {
    EXPECT_EQ(FileNameFromTitle(c.title, c.maxUnits), c.name)
        << std::string(WideView(c.title).begin(), WideView(c.title).end());
  }
}

}  // namespace
