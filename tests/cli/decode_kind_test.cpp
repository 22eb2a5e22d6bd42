// velmora-cli decode --json says what each text is, for symbols that qrencode writes as phones'
// generators do: Wi-Fi networks, vCards, MECARDs and links.
#include <cstdlib>

#include "tests/cli/cli_run.h"

using namespace velmora::test;

namespace {

class DecodeKinds : public CliTest {
protected:
    // The --json line of a symbol that qrencode writes of the text; empty without qrencode.
    std::string jsonOf(const std::string& name, const std::string& text) {
        if (std::system("command -v qrencode >/dev/null 2>&1") != 0) return {};
        const std::string input = path(name + ".txt").string(), file = path(name + ".png").string();
        writeFile(input, text);
        EXPECT_EQ(std::system(("qrencode -8 -s 4 -o '" + file + "' < '" + input + "'").c_str()), 0);
        const CliRun run = this->run({"decode", "--json", file});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return run.out;
    }

    void expectKind(const std::string& json, const std::string& kindAndFields) {
        if (json.empty()) GTEST_SKIP() << "qrencode is not installed";
        EXPECT_NE(json.find(kindAndFields), std::string::npos) << json;
    }
};

}  // namespace

TEST_F(DecodeKinds, WifiNetworksWithEscapes) {
    expectKind(jsonOf("wifi", R"(WIFI:T:WPA;S:Cafe\;Net\:2\,4\\G;P:pa\;ss\"word;H:true;;)"),
               R"("kind":"wifi","fields":{"ssid":"Cafe;Net:2,4\\G","security":"WPA","password":"pa;ss\"word","hidden":true})");
    expectKind(jsonOf("open", "WIFI:S:Guests;T:nopass;;"),
               R"("kind":"wifi","fields":{"ssid":"Guests","security":"nopass","password":"","hidden":false})");
}

TEST_F(DecodeKinds, ContactsOfVcardAndMecard) {
    expectKind(jsonOf("vcard", "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Doe;Jane;;;\r\nFN:Jane Doe\r\nTEL;TYPE=CELL:+1 555 0100\r\n"
                               "TEL;TYPE=WORK:+1 555 0199\r\nADR:;;1 Long Road;Spring\r\n field;;12345;USA\r\nEND:VCARD"),
               R"("kind":"contact","fields":{"name":"Jane Doe","organization":"","numbers":["+1 555 0100","+1 555 0199"],)"
               R"("emails":[],"addresses":["1 Long Road, Springfield, 12345, USA"]})");
    expectKind(jsonOf("vcard4", "BEGIN:VCARD\nVERSION:4.0\nFN:Ada Lovelace\nTEL;VALUE=uri:tel:+44-20-7946-0958\n"
                                "EMAIL:ada@example.org\nEND:VCARD\n"),
               R"("numbers":["+44-20-7946-0958"],"emails":["ada@example.org"])");
    expectKind(jsonOf("mecard", R"(MECARD:N:Sowa,Taro;TEL:0312345678;TEL:09012345678;EMAIL:taro@example.jp;)"
                                R"(ADR:,,1-2-3 Chiyoda\, Bldg 4,Tokyo,,100-0001,Japan;;)"),
               R"("kind":"contact","fields":{"name":"Taro Sowa","organization":"","numbers":["0312345678","09012345678"],)"
               R"("emails":["taro@example.jp"],"addresses":["1-2-3 Chiyoda, Bldg 4, Tokyo, 100-0001, Japan"]})");
}

TEST_F(DecodeKinds, LinksShowTheRealHost) {
    expectKind(jsonOf("trick", "https://good.example@evil.example/login"),
               R"("kind":"url","fields":{"address":"https://good.example@evil.example/login","scheme":"https",)"
               R"("host":"evil.example","hostUnicode":"evil.example","userInfo":"good.example")");
    expectKind(jsonOf("idn", "http://bücher.example/"),
               R"("host":"xn--bcher-kva.example","hostUnicode":"bücher.example")");
    expectKind(jsonOf("event", "BEGIN:VEVENT\nSUMMARY:Launch\nDTSTART:20250101T100000Z\nEND:VEVENT"),
               R"("kind":"event","fields":{"summary":"Launch","start":"20250101T100000Z","end":"","location":""})");
    expectKind(jsonOf("plain", "https://good.example\\@evil.example/"), R"("kind":"text","fields":{})");
}
