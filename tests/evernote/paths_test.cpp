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

}  // namespace
