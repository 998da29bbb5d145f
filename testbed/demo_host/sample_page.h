// The demo's sample page, as the host's rich edit would hold it; the native tests check
// that the note made of it is valid ENML.
#pragma once

// A page with what users keep in Yarrin: a heading, bold and italic text, a bulleted
// list, a small table, a web address, a bookmark, a line of Cyrillic and a picture (a
// Windows metafile, as rich edit keeps pictures: a red rectangle).
inline const char kSamplePage[] =
    "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss\\fcharset0 Arial;}"
    "{\\f1\\fswiss\\fcharset204 Arial;}}"
    "{\\colortbl ;\\red0\\green77\\blue187;}"
    "\\pard\\plain\\sa120\\cf1\\b\\fs32 Weekly planning\\cf0\\b0\\fs20\\par "
    "Plain text, \\b bold text\\b0  and \\i italic text\\i0 .\\par "
    "\\pard\\sa120{\\pntext\\f0\\'B7\\tab}{\\*\\pn\\pnlvlblt\\pnf0\\pnindent360{\\pntxtb\\'B7}}"
    "\\fi-360\\li360 Review the notes\\par "
    "{\\pntext\\f0\\'B7\\tab}Send them to Evernote\\par "
    "\\pard\\sa120 More at https://yarrin2evernote.org/demo and in the manual.\\par "
    "bookmark<Summary The summary starts here>\\par "
    "\\f1\\lang1049 \\u1055?\\u1088?\\u1080?\\u1074?\\u1077?\\u1090?, \\u1084?\\u1080?\\u1088?!\\f0\\par "
    "A diagram: {\\pict\\wmetafile8\\picw10583\\pich7938\\picwgoal1200\\pichgoal900 "
    "010009000003280000000100070000000000050000000b0200000000050000000c022c01900107000000fc02"
    "0000ff0000000000040000002d010000070000001b04fa002c0132006400030000000000}\\par "
    // Wine's rich edit reads back the tables it writes only in part (its cells lose
    // their row); on Windows the table arrives as a table.
    "\\trowd\\trgaph108\\cellx2200\\cellx4400"
    "\\pard\\intbl Day\\cell Task\\cell\\row"
    "\\trowd\\trgaph108\\cellx2200\\cellx4400"
    "\\pard\\intbl Monday\\cell Planning\\cell\\row"
    "\\pard\\par}";
