#include "app/language.h"

#include <QFile>

#include "app/app_directory.h"
#include "app/ini_file.h"

namespace velmora {
namespace {

using U = UiTexts;
constexpr LanguageKey<UiTexts> kUiTextKeys[kUiTextCount] = {
    {"menu", "file", "File", &U::menuFile},
    {"menu", "open", "Open", &U::menuOpen},
    {"menu", "save", "Save", &U::menuSave},
    {"menu", "exit", "Exit", &U::menuExit},
    {"menu", "tools", "Tools", &U::menuTools},
    {"menu", "scrgrab", "Screen Grab", &U::menuScrgrab},
    {"menu", "areagrab", "Area Grab", &U::menuAreagrab},
    {"menu", "camera", "Camera", &U::menuCamera},
    {"menu", "camgrab", "Camera Grab", &U::menuCamgrab},
    {"menu", "help", "Help", &U::menuHelp},
    {"menu", "about", "About", &U::menuAbout},
    {"hint", "open", "Open", &U::hintOpen},
    {"hint", "save", "Save", &U::hintSave},
    {"hint", "scrgrab", "Screen grab", &U::hintScrgrab},
    {"hint", "areagrab", "Area grab", &U::hintAreagrab},
    {"hint", "camera", "Camera", &U::hintCamera},
    {"hint", "camgrab", "Camera grab", &U::hintCamgrab},
    {"hint", "qrornament", "QR Ornament", &U::hintQrornament},
    {"hint", "about", "About", &U::hintAbout},
    {"hint", "campreview", "Camera preview", &U::hintCampreview},
    {"parameter", "errorlevel", "Error level", &U::parameterErrorlevel},
    {"parameter", "version", "Version", &U::parameterVersion},
    {"parameter", "mask", "Mask", &U::parameterMask},
    {"parameter", "size", "Size", &U::parameterSize},
    {"string", "inputdata", "Input data", &U::inputdata},
    {"string", "textoverflow", "Text Overflow", &U::textoverflow},
    {"string", "position", "Position", &U::position},
    {"string", "direction", "Direct", &U::direction},
    {"string", "mirror", "Mirror", &U::mirror},
    {"string", "colorinverse", "Color Inverse", &U::colorinverse},
    {"string", "colornormal", "Color Normal", &U::colornormal},
    {"string", "decoded", "Decoded", &U::decoded},
    {"string", "fail", "Fail", &U::fail},
    {"string", "closecam", "Please turn off the camera !", &U::closecam},
    {"information", "parsedinformation", "Parsed Information", &U::parsedinformation},
    {"information", "content", "Content", &U::content},
};

using O = OrnamentTexts;
constexpr LanguageKey<OrnamentTexts> kOrnamentTextKeys[kOrnamentTextCount] = {
    {"ornament", "addpicture", "Add picture...", &O::addpicture},
    {"ornament", "mixtype", "Mix type", &O::mixtype},
    {"ornament", "mix0", "cover", &O::mix0},
    {"ornament", "mix1", "mixture", &O::mix1},
    {"ornament", "SmallPicPos", "Pos Adj:", &O::SmallPicPos},
    {"ornament", "SmallPicFilterType", "Filter type", &O::SmallPicFilterType},
    {"ornament", "SmallPicFilter0", "round", &O::SmallPicFilter0},
    {"ornament", "SmallPicFilter1", "round rect", &O::SmallPicFilter1},
    {"ornament", "SmallPicFilter2", "none", &O::SmallPicFilter2},
    {"ornament", "SmallPicBorder", "Border", &O::SmallPicBorder},
    {"ornament", "QRScale", "QR Scale", &O::QRScale},
    {"ornament", "QRDotType", "QR dot type", &O::QRDotType},
    {"ornament", "QRDot0", "square", &O::QRDot0},
    {"ornament", "QRDot1", "round", &O::QRDot1},
    {"ornament", "QRDot2", "diamond", &O::QRDot2},
    {"ornament", "QRDot3", "small square", &O::QRDot3},
    {"ornament", "QRDot4", "small dot", &O::QRDot4},
    {"ornament", "QRAlign", "Alignment dot", &O::QRAlign},
    {"ornament", "QRSave", "Save ...", &O::QRSave},
    {"ornament", "Exit", "Exit", &O::Exit},
    {"ornament", "removepicture", "Remove picture", &O::removepicture},
    {"ornament", "scans", "Scans: Velmora reads it back.", &O::scans},
    {"ornament", "noscan", "Does not scan: Velmora cannot read it back. Try another mix, place or dot type.",
     &O::noscan},
    {"ornament", "levelsapart", "The picture has little contrast: the symbol's light and dark are held apart.",
     &O::levelsapart},
    {"ornament", "picturefiles", "All pictures", &O::picturefiles},
    {"ornament", "allfiles", "All files", &O::allfiles},
    {"ornament", "bmpfiles", "BMP picture", &O::bmpfiles},
    {"ornament", "pngfiles", "PNG picture", &O::pngfiles},
    {"ornament", "jpegfiles", "JPEG picture", &O::jpegfiles},
    {"ornament", "notadded", "Cannot add the picture %1: %2", &O::notadded},
    {"ornament", "unknowntype", "its type is not one Velmora reads", &O::unknowntype},
    {"ornament", "cannotopen", "the file cannot be opened", &O::cannotopen},
    {"ornament", "truncated", "the file ends too early", &O::truncated},
    {"ornament", "malformed", "the file is damaged or not a picture", &O::malformed},
    {"ornament", "unsupported", "this kind of picture is not supported", &O::unsupported},
    {"ornament", "toolarge", "the picture is too large", &O::toolarge},
    {"ornament", "outofmemory", "there is not enough memory", &O::outofmemory},
    {"ornament", "notsaved", "Cannot save the ornament as %1.", &O::notsaved},
};

using C = CharsetTexts;
constexpr LanguageKey<CharsetTexts> kCharsetTextKeys[kCharsetTextCount] = {
    {"parameter", "textencoding", "Text encoding", &C::textencoding},
    {"string", "notconvertible", "%2 cannot be written in %1", &C::notconvertible},
};

using R = ReadingTexts;
constexpr LanguageKey<ReadingTexts> kReadingTextKeys[kReadingTextCount] = {
    {"reading", "cannotopen", "Cannot open %1: %2", &R::cannotopen},
    {"reading", "noscreen", "The screen cannot be captured: %1", &R::noscreen},
    {"reading", "tempnotsaved", "temp.bmp not saved: %1", &R::tempnotsaved},
};

using K = CameraTexts;
constexpr LanguageKey<CameraTexts> kCameraTextKeys[kCameraTextCount] = {
    {"camera", "notopen", "The camera is not open", &K::notopen},
    {"camera", "nomorepictures", "The camera has no more pictures", &K::nomorepictures},
    {"camera", "stopped", "The camera stopped delivering pictures", &K::stopped},
    {"camera", "badformat", "The camera delivers pictures of an unknown kind", &K::badformat},
    {"camera", "nocamera", "No camera found!", &K::nocamera},
    {"camera", "cannotopen", "The camera cannot be opened!", &K::cannotopen},
    {"camera", "caption", "Camera", &K::caption},
};

using W = WindowTexts;
constexpr LanguageKey<WindowTexts> kWindowTextKeys[kWindowTextCount] = {
    {"parameter", "auto", "Auto", &W::autochoice},
    {"reading", "fileopenerr", "File Open Err", &W::fileopenerr},
    {"reading", "outofmemory", "out of memory", &W::outofmemory},
    {"dialog", "allpictures", "All pictures", &W::allpictures},
    {"dialog", "allfiles", "All files", &W::allfiles},
    {"dialog", "bitmaps", "Bitmaps", &W::bitmaps},
    {"dialog", "pngpictures", "PNG pictures", &W::pngpictures},
    {"dialog", "svgpictures", "SVG pictures", &W::svgpictures},
    {"dialog", "vcard", "vCard", &W::vcard},
    {"dialog", "icalendar", "iCalendar", &W::icalendar},
    {"help", "nopdfreader", "No pdf reader", &W::nopdfreader},
    {"help", "manualin", "The manual qr_readme.pdf is in %1", &W::manualin},
    {"help", "openfolder", "Open folder", &W::openfolder},
};

using A = ActionTexts;
constexpr LanguageKey<ActionTexts> kActionTextKeys[kActionTextCount] = {
    {"actions", "copy", "Copy", &A::copy},
    {"actions", "openlink", "Open link", &A::openlink},
    {"actions", "copypassword", "Copy password", &A::copypassword},
    {"actions", "savevcf", "Save .vcf", &A::savevcf},
    {"actions", "saveics", "Save .ics", &A::saveics},
    {"actions", "link", "Link: %1", &A::link},
    {"actions", "host", "host %1", &A::host},
    {"actions", "hostidn", "host %1 (%2)", &A::hostidn},
    {"actions", "wifi", "Wi-Fi: %1", &A::wifi},
    {"actions", "security", "security %1", &A::security},
    {"actions", "opennetwork", "no password", &A::opennetwork},
    {"actions", "password", "password %1", &A::password},
    {"actions", "hidden", "hidden network", &A::hidden},
    {"actions", "contact", "Contact: %1", &A::contact},
    {"actions", "event", "Event: %1", &A::event},
    {"actions", "starts", "starts %1", &A::starts},
    {"actions", "text", "Text: %1", &A::text},
    {"actions", "notsaved", "Cannot save %1: %2", &A::notsaved},
    {"actions", "notopened", "No program opens %1", &A::notopened},
};

using F = FormTexts;
constexpr LanguageKey<FormTexts> kFormTextKeys[kFormTextCount] = {
    {"forms", "newsymbol", "New symbol from", &F::newsymbol},
    {"forms", "link", "Link...", &F::link},
    {"forms", "wifi", "Wi-Fi network...", &F::wifi},
    {"forms", "contact", "Contact...", &F::contact},
    {"forms", "event", "Event...", &F::event},
    {"forms", "linktitle", "New symbol from a link", &F::linktitle},
    {"forms", "wifititle", "New symbol from a Wi-Fi network", &F::wifititle},
    {"forms", "contacttitle", "New symbol from a contact", &F::contacttitle},
    {"forms", "eventtitle", "New symbol from an event", &F::eventtitle},
    {"forms", "address", "Address:", &F::address},
    {"forms", "networkname", "Network name:", &F::networkname},
    {"forms", "security", "Security:", &F::security},
    {"forms", "wpa", "WPA/WPA2/WPA3", &F::wpa},
    {"forms", "wep", "WEP", &F::wep},
    {"forms", "nopass", "None (open network)", &F::nopass},
    {"forms", "password", "Password:", &F::password},
    {"forms", "hidden", "Hidden network", &F::hidden},
    {"forms", "name", "Name:", &F::name},
    {"forms", "organization", "Organisation:", &F::organization},
    {"forms", "numbers", "Phone numbers:", &F::numbers},
    {"forms", "emails", "E-mail addresses:", &F::emails},
    {"forms", "oneperline", "One per line", &F::oneperline},
    {"forms", "street", "Street:", &F::street},
    {"forms", "city", "City:", &F::city},
    {"forms", "region", "Region:", &F::region},
    {"forms", "postalcode", "Postal code:", &F::postalcode},
    {"forms", "country", "Country:", &F::country},
    {"forms", "summary", "Title:", &F::summary},
    {"forms", "starts", "Starts:", &F::starts},
    {"forms", "ends", "Ends:", &F::ends},
    {"forms", "place", "Place:", &F::place},
    {"forms", "localtime", "Times are in this computer's time zone; the symbol holds them in UTC.", &F::localtime},
    {"forms", "make", "Make symbol", &F::make},
    {"forms", "cancel", "Cancel", &F::cancel},
    {"forms", "linkempty", "Type the address of the link.", &F::linkempty},
    {"forms", "linkspace", "A link holds no spaces or control characters; write a space as %20.", &F::linkspace},
    {"forms", "linknoscheme", "The link has no scheme: start it with https://, as in https://%1", &F::linknoscheme},
    {"forms", "linknotweb", "The link starts with %1: and not with http:// or https://.", &F::linknotweb},
    {"forms", "linknohost", "The link names no host: write it after //, as in https://example.com/", &F::linknohost},
    {"forms", "linkbadhost", "The host of the link is not a name a browser can reach: %1", &F::linkbadhost},
    {"forms", "wifinoname", "The network needs a name.", &F::wifinoname},
    {"forms", "wifinopassword", "A %1 network needs a password.", &F::wifinopassword},
    {"forms", "wifiwpalength", "A WPA password has 8 to 63 characters, or 64 hexadecimal digits.", &F::wifiwpalength},
    {"forms", "wifiweplength", "A WEP key has 5 or 13 characters, or 10 or 26 hexadecimal digits.", &F::wifiweplength},
    {"forms", "contactnoname", "The contact needs a name.", &F::contactnoname},
    {"forms", "eventnotitle", "The event needs a title.", &F::eventnotitle},
    {"forms", "eventendsearly", "The event ends before it starts.", &F::eventendsearly},
};

using S = SymbolTexts;
constexpr LanguageKey<SymbolTexts> kSymbolTextKeys[kSymbolTextCount] = {
    {"symbol", "edit", "Edit", &S::edit},
    {"symbol", "copysymbol", "Copy symbol", &S::copysymbol},
    {"symbol", "print", "Print...", &S::print},
    {"symbol", "printsize", "Side of the symbol:", &S::printsize},
    {"symbol", "printsizehint", "The dark square, without the white margin the page keeps around it", &S::printsizehint},
    {"symbol", "nosymbol", "There is no symbol: type a text or make one from a form first.", &S::nosymbol},
    {"symbol", "copied", "The symbol is on the clipboard.", &S::copied},
};

using H = HistoryTexts;
constexpr LanguageKey<HistoryTexts> kHistoryTextKeys[kHistoryTextCount] = {
    {"history", "menu", "History", &H::menu},
    {"history", "title", "Scan history", &H::title},
    {"history", "search", "Search the history", &H::search},
    {"history", "coltime", "Time", &H::coltime},
    {"history", "colsource", "Source", &H::colsource},
    {"history", "colkind", "Kind", &H::colkind},
    {"history", "coltext", "Text", &H::coltext},
    {"history", "file", "File", &H::file},
    {"history", "drop", "Dropped", &H::drop},
    {"history", "paste", "Pasted", &H::paste},
    {"history", "args", "Command line", &H::args},
    {"history", "screen", "Screen", &H::screen},
    {"history", "area", "Area", &H::area},
    {"history", "camera", "Camera", &H::camera},
    {"history", "url", "Link", &H::url},
    {"history", "wifi", "Wi-Fi", &H::wifi},
    {"history", "contact", "Contact", &H::contact},
    {"history", "event", "Event", &H::event},
    {"history", "plain", "Text", &H::plain},
    {"history", "delete", "Delete", &H::remove},
    {"history", "clear", "Clear all...", &H::clear},
    {"history", "export", "Export CSV...", &H::exportcsv},
    {"history", "clearquestion", "Delete all %1 entries of the scan history? This cannot be undone.", &H::clearquestion},
    {"history", "notkept", "History not kept: %1", &H::notkept},
    {"history", "unreadable", "The scan history cannot be read: %1", &H::unreadable},
    {"history", "csvfiles", "CSV files", &H::csvfiles},
    {"history", "exported", "%1 entries saved in %2", &H::exported},
};

using N = NetworkTexts;
constexpr LanguageKey<NetworkTexts> kNetworkTextKeys[kNetworkTextCount] = {
    {"network", "connect", "Connect", &N::connect},
    {"network", "caption", "Wi-Fi network", &N::caption},
    {"network", "joining", "NetworkManager is joining the network %1 (%2).", &N::joining},
    {"network", "nonetworkmanager",
     "NetworkManager does not answer, so Velmora cannot join %1: %2. Join the network in the desktop's network settings.",
     &N::nonetworkmanager},
    {"network", "nowifi", "NetworkManager manages no Wi-Fi device on this computer, so Velmora cannot join %1.",
     &N::nowifi},
    {"network", "outofreach", "The network %1 is out of reach: this computer's Wi-Fi does not see it.", &N::outofreach},
    {"network", "refused", "NetworkManager refused to join %1: %2", &N::refused},
    {"network", "unsupported", "Velmora cannot join %1: its security %2 is not WPA, WPA3, WEP or open.", &N::unsupported},
};

// Fills a text table from one language file. Values are used as their bytes stand: the files are
// in the system code page, which is UTF-8 here.
template <typename Texts, std::size_t Count>
Texts readTexts(const QString& path, const LanguageKey<Texts> (&keys)[Count]) {
    const IniFile file(QFile::encodeName(path).toStdString());
    Texts texts;
    for (const LanguageKey<Texts>& entry : keys)
        texts.*entry.member = QString::fromUtf8(file.readString(entry.section, entry.key, entry.english));
    return texts;
}

// The process-wide language state; the main window changes it through selectLanguage only.
struct LanguageState {
    int languageIndex = 0;
    UiTexts ui;
    CharsetTexts charset;
    ReadingTexts reading;
    CameraTexts camera;
    ActionTexts actions;
    WindowTexts window;
    FormTexts forms;
    SymbolTexts symbol;
    HistoryTexts history;
    NetworkTexts network;
};

// Every table of the language of index from its file; a file that is missing gives the English
// defaults.
LanguageState readLanguage(int index, const QString& path) {
    LanguageState language;
    language.languageIndex = index;
    language.ui = readTexts(path, kUiTextKeys);
    language.charset = readTexts(path, kCharsetTextKeys);
    language.reading = readTexts(path, kReadingTextKeys);
    language.camera = readTexts(path, kCameraTextKeys);
    language.actions = readTexts(path, kActionTextKeys);
    language.window = readTexts(path, kWindowTextKeys);
    language.forms = readTexts(path, kFormTextKeys);
    language.symbol = readTexts(path, kSymbolTextKeys);
    language.history = readTexts(path, kHistoryTextKeys);
    language.network = readTexts(path, kNetworkTextKeys);
    return language;
}

// English until a language is selected, so that a message shown before the window exists is
// never empty.
LanguageState& state() {
    static LanguageState language = readLanguage(0, QString());
    return language;
}

}  // namespace

const LanguageKey<UiTexts>* uiTextKeys() {
    return kUiTextKeys;
}

const LanguageKey<OrnamentTexts>* ornamentTextKeys() {
    return kOrnamentTextKeys;
}

const LanguageKey<CharsetTexts>* charsetTextKeys() {
    return kCharsetTextKeys;
}

const LanguageKey<ReadingTexts>* readingTextKeys() {
    return kReadingTextKeys;
}

const LanguageKey<CameraTexts>* cameraTextKeys() {
    return kCameraTextKeys;
}

const LanguageKey<ActionTexts>* actionTextKeys() {
    return kActionTextKeys;
}

const LanguageKey<FormTexts>* formTextKeys() {
    return kFormTextKeys;
}

const LanguageKey<SymbolTexts>* symbolTextKeys() {
    return kSymbolTextKeys;
}

const LanguageKey<HistoryTexts>* historyTextKeys() {
    return kHistoryTextKeys;
}

const LanguageKey<NetworkTexts>* networkTextKeys() {
    return kNetworkTextKeys;
}

const LanguageKey<WindowTexts>* windowTextKeys() {
    return kWindowTextKeys;
}

QString languageFileName(int index) {
    if (index == 1) return QStringLiteral("Lan_Ch.ini");
    if (index == 2) return QStringLiteral("Lan_Ex.ini");
    return QStringLiteral("Lan_En.ini");
}

UiTexts readUiTexts(const QString& path) {
    return readTexts(path, kUiTextKeys);
}

OrnamentTexts readOrnamentTexts(const QString& path) {
    return readTexts(path, kOrnamentTextKeys);
}

CharsetTexts readCharsetTexts(const QString& path) {
    return readTexts(path, kCharsetTextKeys);
}

ReadingTexts readReadingTexts(const QString& path) {
    return readTexts(path, kReadingTextKeys);
}

CameraTexts readCameraTexts(const QString& path) {
    return readTexts(path, kCameraTextKeys);
}

ActionTexts readActionTexts(const QString& path) {
    return readTexts(path, kActionTextKeys);
}

FormTexts readFormTexts(const QString& path) {
    return readTexts(path, kFormTextKeys);
}

SymbolTexts readSymbolTexts(const QString& path) {
    return readTexts(path, kSymbolTextKeys);
}

HistoryTexts readHistoryTexts(const QString& path) {
    return readTexts(path, kHistoryTextKeys);
}

NetworkTexts readNetworkTexts(const QString& path) {
    return readTexts(path, kNetworkTextKeys);
}

WindowTexts readWindowTexts(const QString& path) {
    return readTexts(path, kWindowTextKeys);
}

void selectLanguage(int index) {
    state() = readLanguage(index, languageFile(languageFileName(index)));
}

int LanguageIndex() {
    return state().languageIndex;
}

const UiTexts& currentUiTexts() {
    return state().ui;
}

const CharsetTexts& currentCharsetTexts() {
    return state().charset;
}

const ReadingTexts& currentReadingTexts() {
    return state().reading;
}

const CameraTexts& currentCameraTexts() {
    return state().camera;
}

const ActionTexts& currentActionTexts() {
    return state().actions;
}

const FormTexts& currentFormTexts() {
    return state().forms;
}

const SymbolTexts& currentSymbolTexts() {
    return state().symbol;
}

const HistoryTexts& currentHistoryTexts() {
    return state().history;
}

const NetworkTexts& currentNetworkTexts() {
    return state().network;
}

const WindowTexts& currentWindowTexts() {
    return state().window;
}

OrnamentTexts currentOrnamentTexts() {
    return readOrnamentTexts(languageFile(languageFileName(state().languageIndex)));
}

}  // namespace velmora
