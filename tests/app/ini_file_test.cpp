// The INI layer under Config.ini and the language files, and the settings read through it.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <sys/stat.h>

#include "app/app_config.h"
#include "app/ini_file.h"
#include "app_test_support.h"
#include "tests/codecs/full_disk.h"

using velmora::IniFile;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::string local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

// Reads follow the profile-file rules the configuration and language files were written for.
class IniFileReadsProfileRules : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path_;

private slots:
    void init() { path_ = dir_.filePath(QStringLiteral("test.ini")); }

    void namesMatchWithoutLetterCase() {
        writeFile(path_, "[Menu]\nFILE=Datei\n  Open = Öffnen  \n");
        const IniFile file(local(path_));
        QCOMPARE(file.readString("menu", "file", "File"), std::string("Datei"));
        QCOMPARE(file.readString("MENU", "open", "Open"), std::string("Öffnen"));
    }

    void emptyValueIsNotTheDefault() {
        writeFile(path_, "[menu]\nfile=\nopen=   \n");
        const IniFile file(local(path_));
        QCOMPARE(file.readString("menu", "file", "File"), std::string());
        QCOMPARE(file.readString("menu", "open", "Open"), std::string());
        QCOMPARE(file.readInteger("menu", "file", 17), 17);
    }

    void missingFileSectionOrKeyGivesTheDefault() {
        const IniFile missing(local(dir_.filePath(QStringLiteral("absent.ini"))));
        QCOMPARE(missing.readString("menu", "file", "File"), std::string("File"));
        QCOMPARE(missing.readInteger("language", "LanID", 3), 3);
        // A FIFO in the file's place reads as no file at once, instead of waiting for a writer.
        const QString fifo = dir_.filePath(QStringLiteral("Lan_Ex.ini"));
        QVERIFY(mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QCOMPARE(IniFile(local(fifo)).readString("menu", "file", "File"), std::string("File"));
        writeFile(path_, "[menu]\nfile=Fichier\n[hint]\nsave=Enregistrer\n");
        const IniFile file(local(path_));
        QCOMPARE(file.readString("string", "file", "File"), std::string("File"));
        QCOMPARE(file.readString("menu", "save", "Save"), std::string("Save"));
        QCOMPARE(file.readString("hint", "save", "Save"), std::string("Enregistrer"));
    }

    void keysOfOneSectionDoNotLeakIntoTheNext() {
        writeFile(path_, "[a]\nx=1\n[b]\ny=2\n[a]\nz=3\n");
        const IniFile file(local(path_));
        QCOMPARE(file.readInteger("b", "x", -1), -1);
        QCOMPARE(file.readInteger("a", "x", -1), 1);
        // Only the first section of a name is read.
        QCOMPARE(file.readInteger("a", "z", -1), -1);
    }

    void windowsLineEndsAndByteOrderMarkAreRead() {
        writeFile(path_, "\xEF\xBB\xBF[menu]\r\nfile=文件\r\nopen=打开");
        const IniFile file(local(path_));
        QCOMPARE(file.readString("menu", "file", ""), std::string("文件"));
        QCOMPARE(file.readString("menu", "open", ""), std::string("打开"));
    }

    void quotedValuesLoseTheirQuotes() {
        writeFile(path_, "[s]\na=\"  padded  \"\nb='x'\nc=\"unbalanced\n");
        const IniFile file(local(path_));
        QCOMPARE(file.readString("s", "a", ""), std::string("  padded  "));
        QCOMPARE(file.readString("s", "b", ""), std::string("x"));
        QCOMPARE(file.readString("s", "c", ""), std::string("\"unbalanced"));
    }

    void longValuesAreCutTo2047Characters() {
        const QByteArray value(3000, 'v');
        writeFile(path_, "[s]\nlong=" + value + "\nexact=" + QByteArray(2047, 'e') + "\n");
        const IniFile file(local(path_));
        QCOMPARE(file.readString("s", "long", "").size(), std::size_t{2047});
        QCOMPARE(file.readString("s", "exact", "").size(), std::size_t{2047});
        QCOMPARE(file.readString("s", "missing", std::string(2100, 'd')).size(), std::size_t{2047});
    }

    void integersAreDecimalOrHexadecimal_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << QByteArray("640") << 640;
        QTest::newRow("negative") << QByteArray("-1") << -1;
        QTest::newRow("plus sign") << QByteArray("+7") << 7;
        QTest::newRow("blanks around") << QByteArray("  12  ") << 12;
        QTest::newRow("0x") << QByteArray("0x1F") << 31;
        QTest::newRow("0X lower digits") << QByteArray("0Xff") << 255;
        QTest::newRow("dollar") << QByteArray("$10") << 16;
        QTest::newRow("negative hex") << QByteArray("-$10") << -16;
        QTest::newRow("eight hex digits wrap") << QByteArray("0xFFFFFFFF") << -1;
        QTest::newRow("largest") << QByteArray("2147483647") << 2147483647;
        QTest::newRow("smallest") << QByteArray("-2147483648") << int(-2147483647 - 1);
        QTest::newRow("trailing letters") << QByteArray("12abc") << -99;
        QTest::newRow("word") << QByteArray("four") << -99;
        QTest::newRow("prefix alone") << QByteArray("0x") << -99;
        QTest::newRow("too large") << QByteArray("2147483648") << -99;
        QTest::newRow("nine hex digits") << QByteArray("0x100000000") << -99;
        QTest::newRow("decimal point") << QByteArray("1.5") << -99;
    }
    void integersAreDecimalOrHexadecimal() {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        writeFile(path_, "[n]\nkey=" + value + "\n");
        QCOMPARE(IniFile(local(path_)).readInteger("n", "key", -99), expected);
    }
};

// Writing one key changes that key's line only and leaves the rest of the file as it was.
class IniFileWriteKeepsOtherLines : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path_;

private slots:
    void init() {
        path_ = dir_.filePath(QStringLiteral("Config.ini"));
        QFile::remove(path_);
    }

    void replacesOnlyTheKeyLine() {
        const QByteArray before =
            "; settings of my own\r\n[Camera]\r\niCameraWidth = 1280\r\n\r\n[LANGUAGE]\r\n  lanid = 7\r\n"
            "other=keep me\r\n\r\n[decode]\r\niQrMsg_Max=$2\r\n";
        writeFile(path_, before);
        IniFile file(local(path_));
        std::string error;
        QVERIFY(file.writeInteger("language", "LanID", 1, error));
        QByteArray expected = before;
        expected.replace("  lanid = 7", "  lanid=1");
        QCOMPARE(readFile(path_), expected);
        QCOMPARE(IniFile(local(path_)).readInteger("language", "LanID", 0), 1);
    }

    void addsAMissingKeyAtTheEndOfItsSection() {
        writeFile(path_, "[language]\nother=1\n\n[camera]\niCameraWidth=800\n");
        IniFile file(local(path_));
        std::string error;
        QVERIFY(file.writeInteger("language", "LanID", 2, error));
        QCOMPARE(readFile(path_), QByteArray("[language]\nother=1\nLanID=2\n\n[camera]\niCameraWidth=800\n"));
    }

    void addsAMissingSectionAtTheEnd() {
        writeFile(path_, "[camera]\niCameraWidth=800");
        IniFile file(local(path_));
        std::string error;
        QVERIFY(file.writeString("text", "sCharset", "gb2312", error));
        QCOMPARE(readFile(path_), QByteArray("[camera]\niCameraWidth=800\n[text]\nsCharset=gb2312\n"));
    }

    void createsTheFileWhenAbsent() {
        IniFile file(local(path_));
        std::string error;
        QVERIFY(file.writeInteger("language", "LanID", 1, error));
        QCOMPARE(readFile(path_), QByteArray("[language]\nLanID=1\n"));
    }

    void keepsTheByteOrderMark() {
        writeFile(path_, "\xEF\xBB\xBF[language]\r\nLanID=0\r\n");
        IniFile file(local(path_));
        std::string error;
        QVERIFY(file.writeInteger("language", "LanID", 2, error));
        QCOMPARE(readFile(path_), QByteArray("\xEF\xBB\xBF[language]\r\nLanID=2\r\n"));
    }

    void failureLeavesNoFileAndSaysWhy() {
        const QString path = dir_.filePath(QStringLiteral("missing/Config.ini"));
        IniFile file(local(path));
        std::string error;
        QVERIFY(!file.writeInteger("language", "LanID", 1, error));
        QVERIFY(!error.empty());
        QVERIFY(!QFile::exists(path));
        QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
    }

    void aFullDiskLeavesTheOldFileWhole() {
        velmora::test::FullDisk disk;
        if (!disk.ready()) QSKIP(disk.reason().c_str());
        const QString path = QString::fromStdString(disk.path("Config.ini"));
        const QByteArray before = "[language]\nLanID=1\n[camera]\niCameraWidth=1280\n";
        writeFile(path, before);
        QVERIFY(disk.fill());
        const std::vector<std::string> names = disk.names();
        IniFile file(local(path));
        std::string error;
        QVERIFY(!file.writeInteger("language", "LanID", 2, error));
        QCOMPARE(QString::fromStdString(error), path + QStringLiteral(": No space left on device"));
        QCOMPARE(readFile(path), before);
        QVERIFY(disk.names() == names);
        QCOMPARE(IniFile(local(path)).readInteger("language", "LanID", 0), 1);
    }
};

// Config.ini gives the start-up settings with their limits.
class ConfigReadsSettings : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

private slots:
    void missingFileGivesDefaults() {
        const velmora::AppConfig config = velmora::readAppConfig(local(dir_.filePath(QStringLiteral("none.ini"))));
        QCOMPARE(config.LanID, 0);
        QCOMPARE(config.iCameraWidth, 640);
        QCOMPARE(config.iCameraHeight, 480);
        QCOMPARE(config.iQrMsg_Max, 4);
        QVERIFY(config.charset == velmora::TextCharset::Utf8);
    }

    void languageIdLimits_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("Chinese") << QByteArray("1") << 1;
        QTest::newRow("extra") << QByteArray("2") << 2;
        QTest::newRow("three becomes English") << QByteArray("3") << 0;
        QTest::newRow("seven becomes English") << QByteArray("7") << 0;
        QTest::newRow("negative passes") << QByteArray("-1") << -1;
        QTest::newRow("not a number") << QByteArray("ch") << 0;
    }
    void languageIdLimits() {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        const QString path = dir_.filePath(QStringLiteral("Config.ini"));
        writeFile(path, "[language]\nLanID=" + value + "\n[camera]\niCameraWidth=0x500\n[decode]\niQrMsg_Max=9\n");
        const velmora::AppConfig config = velmora::readAppConfig(local(path));
        QCOMPARE(config.LanID, expected);
        QCOMPARE(config.iCameraWidth, 1280);
        QCOMPARE(config.iCameraHeight, 480);
        QCOMPARE(config.iQrMsg_Max, 9);
    }

    void charsetNamesAreUnderstood_data() {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("expected");
        QTest::newRow("gb2312") << QByteArray("gb2312") << int(velmora::TextCharset::Gb2312);
        QTest::newRow("GB 2312") << QByteArray("GB 2312") << int(velmora::TextCharset::Gb2312);
        QTest::newRow("Shift_JIS") << QByteArray("Shift_JIS") << int(velmora::TextCharset::ShiftJis);
        QTest::newRow("sjis") << QByteArray("SJIS") << int(velmora::TextCharset::ShiftJis);
        QTest::newRow("UTF-8") << QByteArray("UTF-8") << int(velmora::TextCharset::Utf8);
        QTest::newRow("unknown keeps UTF-8") << QByteArray("latin1") << int(velmora::TextCharset::Utf8);
    }
    void charsetNamesAreUnderstood() {
        QFETCH(QByteArray, value);
        QFETCH(int, expected);
        const QString path = dir_.filePath(QStringLiteral("Config.ini"));
        writeFile(path, "[text]\nsCharset=" + value + "\n");
        QCOMPARE(int(velmora::readAppConfig(local(path)).charset), expected);
    }

    void charsetChoiceIsWrittenBack() {
        const QString path = dir_.filePath(QStringLiteral("Config.ini"));
        writeFile(path, "[language]\nLanID=1\n");
        std::string error;
        QVERIFY(velmora::writeTextCharset(local(path), velmora::TextCharset::ShiftJis, error));
        const velmora::AppConfig config = velmora::readAppConfig(local(path));
        QVERIFY(config.charset == velmora::TextCharset::ShiftJis);
        QCOMPARE(config.LanID, 1);
    }
};

int main(int argc, char** argv) {
    using namespace velmora::test;
    return runTests(argc, argv,
                    {suite<IniFileReadsProfileRules>(), suite<IniFileWriteKeepsOtherLines>(), suite<ConfigReadsSettings>()});
}

#include "ini_file_test.moc"
