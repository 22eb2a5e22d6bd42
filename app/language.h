// The interface language: the selected LanguageIndex and the texts read from its language file.
//
// Every text has a built-in English default, so the program runs without any language file.
// Index 1 selects Lan_Ch.ini, 2 the spare slot Lan_Ex.ini, every other value Lan_En.ini.
#pragma once

#include <QString>

namespace velmora {

// The 36 texts of the main window, named by section and key of the language file.
struct UiTexts {
    // [menu] menu captions; the window adds the accelerator suffix
    QString menuFile, menuOpen, menuSave, menuExit, menuTools, menuScrgrab, menuAreagrab, menuCamera, menuCamgrab,
        menuHelp, menuAbout;
    // [hint] tool button and preview hints
    QString hintOpen, hintSave, hintScrgrab, hintAreagrab, hintCamera, hintCamgrab, hintQrornament, hintAbout,
        hintCampreview;
    // [parameter] group box captions and decode report labels
    QString parameterErrorlevel, parameterVersion, parameterMask, parameterSize;
    // [string] panel captions, decode report words, status and message texts
    QString inputdata, textoverflow, position, direction, mirror, colorinverse, colornormal, decoded, fail, closecam;
    // [information] decode report headings
    QString parsedinformation, content;
};

// The 38 texts of the ornament window, section [ornament]: the captions, then the button that
// takes the picture away, what the read-back check found, the note on levels held apart, the
// file dialogs' filter names, and why a picture was not added ("%1" the file, "%2" one of the
// reasons after it) or the ornament not saved ("%1" the file).
struct OrnamentTexts {
    QString addpicture, mixtype, mix0, mix1, SmallPicPos, SmallPicFilterType, SmallPicFilter0, SmallPicFilter1,
        SmallPicFilter2, SmallPicBorder, QRScale, QRDotType, QRDot0, QRDot1, QRDot2, QRDot3, QRDot4, QRAlign, QRSave,
        Exit;
    QString removepicture, scans, noscan, levelsapart, picturefiles, allfiles, bmpfiles, pngfiles, jpegfiles,
        notadded, unknowntype, cannotopen, truncated, malformed, unsupported, toolarge, outofmemory, notsaved;
};

// Texts of the text-encoding choice, read from the same file: [parameter] textencoding and
// [string] notconvertible ("%1" becomes the character set, "%2" the character it cannot hold).
struct CharsetTexts {
    QString textencoding, notconvertible;
};

// Texts of reading pictures that the decode report does not cover, section [reading]: why a file
// or the screen gave no picture ("%1" the file or the reason, "%2" the reason).
struct ReadingTexts {
    QString cannotopen, noscreen, tempnotsaved;
};

// Why camera grabbing ended, section [camera]: the status text for each way a source stops.
// Also the two camera messages and their caption (no camera, one that does not open).
struct CameraTexts {
    QString notopen, nomorepictures, stopped, badformat, nocamera, cannotopen, caption;
};

// The window's other words: the automatic choice of the parameter lists, the status of a file
// that cannot be read, why a picture could not be made, the names of the file dialogs' filters,
// and the help button's message when nothing shows the manual ("%1" its folder).
struct WindowTexts {
    QString autochoice, fileopenerr, outofmemory, allpictures, allfiles, bitmaps, pngpictures, svgpictures, vcard,
        icalendar, nopdfreader, manualin, openfolder;
};

// Texts of the actions offered for the decoded texts, section [actions]: buttons, the details
// shown beside them ("%1" a field, "%2" a second form of it) and why a file was not saved.
struct ActionTexts {
    QString copy, openlink, copypassword, savevcf, saveics, link, host, hostidn, wifi, security, opennetwork,
        password, hidden, contact, event, starts, text, notsaved, notopened;
};

// The New symbol forms, section [forms]: the menu, each form's title and fields, its buttons and
// why the fields make no symbol ("%1" the typed link, or its scheme or host).
struct FormTexts {
    QString newsymbol, link, wifi, contact, event, linktitle, wifititle, contacttitle, eventtitle, address,
        networkname, security, wpa, wep, nopass, password, hidden, name, organization, numbers, emails, oneperline,
        street, city, region, postalcode, country, summary, starts, ends, place, localtime, make, cancel, linkempty,
        linkspace, linknoscheme, linknotweb, linknohost, linkbadhost, wifinoname, wifinopassword, wifiwpalength,
        wifiweplength, contactnoname, eventnotitle, eventendsearly;
};

// The symbol as a picture elsewhere, section [symbol]: the Edit menu, Copy symbol, Print and its
// size box, and the status when there is no symbol to copy or print.
struct SymbolTexts {
    QString edit, copysymbol, print, printsize, printsizehint, nosymbol, copied;
};

// The scan history window, section [history]: the menu item, the window's title, search box,
// columns, the words for each source and kind, its buttons and messages ("%1" a count, a reason
// or a file, "%2" a file).
struct HistoryTexts {
    QString menu, title, search, coltime, colsource, colkind, coltext, file, drop, paste, args, screen, area, camera,
        url, wifi, contact, event, plain, remove, clear, exportcsv, clearquestion, notkept, unreadable, csvfiles,
        exported;
};

// Joining a Wi-Fi network, section [network]: the button, the caption of the answer and the
// answers ("%1" the network's name, "%2" NetworkManager's words or the security).
struct NetworkTexts {
    QString connect, caption, joining, nonetworkmanager, nowifi, outofreach, refused, unsupported;
};

// Number of entries in each table, for checks of translation files.
inline constexpr int kUiTextCount = 36;
inline constexpr int kOrnamentTextCount = 38;
inline constexpr int kCharsetTextCount = 2;
inline constexpr int kReadingTextCount = 3;
inline constexpr int kCameraTextCount = 7;
inline constexpr int kWindowTextCount = 13;
inline constexpr int kActionTextCount = 19;
inline constexpr int kFormTextCount = 47;
inline constexpr int kSymbolTextCount = 7;
inline constexpr int kHistoryTextCount = 27;
inline constexpr int kNetworkTextCount = 8;

// One text of a language file: where it lives, its English default and its member.
template <typename Texts>
struct LanguageKey {
    const char* section;
    const char* key;
    const char* english;
    QString Texts::*member;
};

// The full key tables, in file order.
const LanguageKey<UiTexts>* uiTextKeys();
const LanguageKey<OrnamentTexts>* ornamentTextKeys();
const LanguageKey<CharsetTexts>* charsetTextKeys();
const LanguageKey<ReadingTexts>* readingTextKeys();
const LanguageKey<CameraTexts>* cameraTextKeys();
const LanguageKey<WindowTexts>* windowTextKeys();
const LanguageKey<ActionTexts>* actionTextKeys();
const LanguageKey<FormTexts>* formTextKeys();
const LanguageKey<SymbolTexts>* symbolTextKeys();
const LanguageKey<HistoryTexts>* historyTextKeys();
const LanguageKey<NetworkTexts>* networkTextKeys();

// The language file name of an index: "Lan_Ch.ini" for 1, "Lan_Ex.ini" for 2, else "Lan_En.ini".
QString languageFileName(int index);

// Reads the texts from a language file, each with its English default.
UiTexts readUiTexts(const QString& path);
OrnamentTexts readOrnamentTexts(const QString& path);
CharsetTexts readCharsetTexts(const QString& path);
ReadingTexts readReadingTexts(const QString& path);
CameraTexts readCameraTexts(const QString& path);
WindowTexts readWindowTexts(const QString& path);
ActionTexts readActionTexts(const QString& path);
FormTexts readFormTexts(const QString& path);
SymbolTexts readSymbolTexts(const QString& path);
HistoryTexts readHistoryTexts(const QString& path);
NetworkTexts readNetworkTexts(const QString& path);

// The process-wide language: stores index as LanguageIndex and reads the main window's texts
// from the matching file in the application directory (or beside the executable). Never fails:
// a missing file leaves every text at its default.
void selectLanguage(int index);

// The selected language index (0, with the English texts, until selectLanguage runs).
int LanguageIndex();

// The texts of the selected language.
const UiTexts& currentUiTexts();
const CharsetTexts& currentCharsetTexts();
const ReadingTexts& currentReadingTexts();
const CameraTexts& currentCameraTexts();
const WindowTexts& currentWindowTexts();
const ActionTexts& currentActionTexts();
const FormTexts& currentFormTexts();
const SymbolTexts& currentSymbolTexts();
const HistoryTexts& currentHistoryTexts();
const NetworkTexts& currentNetworkTexts();

// The ornament window's texts of the selected language, read from its file each time.
OrnamentTexts currentOrnamentTexts();

}  // namespace velmora
