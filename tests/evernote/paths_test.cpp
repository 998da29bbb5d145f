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
    // Device names: the mark goes where it breaks the part before the first dot.
    {u"con", 100, u"_con"},
    {u"NUL.txt", 100, u"_NUL.txt"},
    {u"aux .txt", 100, u"_aux .txt"},
    {u"Prn...", 100, u"_Prn"},
    {u"COM0", 100, u"_COM0"},
    {u"com9.tar.gz", 100, u"_com9.tar.gz"},
    {u"LPT\u00b3 . log", 100, u"_LPT\u00b3 . log"},
    {u"conin$.txt", 100, u"_conin$.txt"},
    {u"CONOUT$", 100, u"_CONOUT$"},
    {u"COM10", 100, u"COM10"},
    {u"COM\u2074", 100, u"COM\u2074"},
    {u"CONIN", 100, u"CONIN"},
    {u"NULL.txt", 100, u"NULL.txt"},
    {u"x.NUL", 100, u"x.NUL"},
    // Cutting may make a device name; the mark never makes the name longer than asked.
    {u"COM12", 4, u"_COM"},
    {u"NUL.txt", 5, u"_NUL"},
    {u"", 2, u"No"},
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
