#include <gtest/gtest.h>

#include <utility>

#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/ExtImgRule.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

class ConfigSysTest : public test::HiveTest {
protected:
    void store(const std::string& section, const std::string& name, std::uint32_t type,
               const std::string& data) const {
        test::store_value("Software\\kalvorin\\" + section, name, type, data);
    }
    void store_sz(const std::string& section, const std::string& name, const std::string& text) const {
        store(section, name, platform::kRegSz, text + '\0');
    }
    clsConfigSys cfg;
};

TEST_F(ConfigSysTest, DefaultsOnAnEmptyStore) {
    std::int32_t s = 0, t = 0, u = 0;
    cfg.get_scores(s, t, u);
    EXPECT_EQ(s, -1000);
    EXPECT_EQ(t, 1000);
    EXPECT_EQ(u, 70);
    EXPECT_EQ(cfg.get_basefolder(), "." + test::kSep);
    EXPECT_EQ(cfg.get_extimg(), "none");
    EXPECT_TRUE(cfg.get_uppercase());
    EXPECT_TRUE(cfg.get_up50kb());
    EXPECT_FALSE(cfg.get_xpertmode());
    EXPECT_EQ(cfg.get_logsize(), 9);
#ifndef _WIN32
    EXPECT_FALSE(test::exists(hive_));  // the settings file of other systems
#else
    EXPECT_FALSE(platform::RegKey::open_read("Software\\kalvorin"));
#endif
}

TEST_F(ConfigSysTest, BooleanTextsAreTrueOnlyForExactTrue) {
    const std::pair<std::string, bool> cases[] = {
        {"true", true}, {"TRUE", false}, {"True", false}, {"1", false},
        {"yes", false}, {"", false},     {" true", false}, {"true ", false},
    };
    for (const auto& [text, expected] : cases) {
        store_sz("settings", "uppercase", text);
        store_sz("settings", "up50kb", text);
        store_sz("settings", "xpertmode", text);
        EXPECT_EQ(cfg.get_uppercase(), expected) << text;
        EXPECT_EQ(cfg.get_up50kb(), expected) << text;
        EXPECT_EQ(cfg.get_xpertmode(), expected) << text;
    }
}

TEST_F(ConfigSysTest, SettersWriteTheDocumentedTypes) {
    cfg.set_scores(1, 0, -7);
    cfg.set_uppercase(false);
    cfg.set_xpertmode(true);
    cfg.set_up50kb(false);
    cfg.set_logsize(0);
    cfg.set_extimg("SUSP");
    cfg.set_basefolder("/x/y");
    std::int32_t s = 0, t = 9, u = 0;
    cfg.get_scores(s, t, u);
    EXPECT_EQ(s, 1);
    EXPECT_EQ(t, 0);
    EXPECT_EQ(u, -7);
    EXPECT_FALSE(cfg.get_uppercase());
    EXPECT_TRUE(cfg.get_xpertmode());
    EXPECT_FALSE(cfg.get_up50kb());
    EXPECT_EQ(cfg.get_logsize(), 0);
    EXPECT_EQ(cfg.get_extimg(), "SUSP");
    EXPECT_EQ(cfg.get_basefolder(), "/x/y" + test::kSep);
    auto v = platform::RegKey::open("Software\\kalvorin\\settings")->query("uppercase");
    EXPECT_EQ(v->type, platform::kRegSz);
    EXPECT_EQ(v->data, std::string("false\0", 6));
    EXPECT_EQ(platform::RegKey::open("Software\\kalvorin\\settings")->query("logsize")->type, platform::kRegDword);
}

TEST_F(ConfigSysTest, BaseFolderRule) {
    const std::pair<std::string, std::string> cases[] = {
        {"/mail/filters", "/mail/filters" + test::kSep},
        {"  /mail/filters", "/mail/filters" + test::kSep},
        {"/mail/filters/", "/mail/filters/" + test::kSep},
        {"/mail/x  ", "/mail/x  " + test::kSep},
        {"\t/a", "/a" + test::kSep},
    };
    for (const auto& [stored, expected] : cases) {
        store_sz("directorys", "basefolder", stored);
        EXPECT_EQ(get_basefolder(), expected) << stored;
    }
}

TEST_F(ConfigSysTest, ScoreOfTheWrongTypeRaisesNamingTheValue) {
    store_sz("scores", "secure", "70");
    std::int32_t s = 0, t = 0, u = 0;
    EXPECT_EQ(test::error_text<ERegistryError>([&] { cfg.get_scores(s, t, u); }), "Invalid data type for 'secure'");
    store_sz("scores", "secure", "-1000");
    EXPECT_THROW(cfg.get_scores(s, t, u), ERegistryError);
    store("settings", "uppercase", platform::kRegDword, std::string(4, '\0'));
    EXPECT_THROW(cfg.get_uppercase(), ERegistryError);
}

TEST_F(ConfigSysTest, EachScoreFallsBackOnItsOwn) {
    store("scores", "suspect", platform::kRegDword, test::dword(5));
    std::int32_t s = 0, t = 0, u = 0;
    cfg.get_scores(s, t, u);
    EXPECT_EQ(s, -1000);
    EXPECT_EQ(t, 1000);
    EXPECT_EQ(u, 5);
}

// The stored word decides the rule, to the letter; any other word is none,
// and each rule is written back as the word that reads as it.
TEST(ExtImgRuleTest, OnlyTheExactWordsAskForARule) {
    const std::pair<const char*, ExtImgRule> cases[] = {
        {"susp", ExtImgRule::suspect}, {"trash", ExtImgRule::trash}, {"none", ExtImgRule::none},
        {"SUSP", ExtImgRule::none},    {"trash ", ExtImgRule::none}, {"", ExtImgRule::none},
        {"suspect", ExtImgRule::none},
    };
    for (const auto& [word, rule] : cases) EXPECT_EQ(extimg_rule(word), rule) << word;
    for (ExtImgRule r : {ExtImgRule::none, ExtImgRule::suspect, ExtImgRule::trash})
        EXPECT_EQ(extimg_rule(setting_of(r)), r);
}

TEST_F(ConfigSysTest, VersionIsTheTrimmedFirstLine) {
    set_basefolder_setting(tmp_ / "base");
    const std::pair<std::string, std::string> cases[] = {
        {"  1.0  \r\nx", "1.0"},
        {"\r\n2.0\r\n", ""},
        {"", ""},
        {"3.1", "3.1"},
    };
    for (const auto& [content, expected] : cases) {
        test::spit(base() + "version.ini", content);
        EXPECT_EQ(get_version(), expected);
    }
    std::remove((base() + "version.ini").c_str());
    EXPECT_EQ(test::error_text<EInOutError>([] { get_version(); }), "File not found");
}

}  // namespace
}  // namespace kalvorin
