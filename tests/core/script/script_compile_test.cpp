// The script compiler: byte code of each statement form, every error with
// its message and cursor position, literals.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <locale>

#include "core/actors/actor.h"
#include "core/actors/command_registry.h"
#include "core/actors/command_table.h"
#include "core/script/script_compiler.h"
#include "script_test_util.h"

using script_test::Code;
using script_test::Hex;

namespace {

struct Result {
    bool ok = false;
    std::vector<uint8_t> code;
    std::string error;
    size_t position = 999999;
};

class ScriptCompileTest : public ::testing::Test {
  protected:
    // The tables go with the reset after every test.
    void SetUp() override {
        ResetCommandTablesForTest();
        ASSERT_TRUE(RegisterAllCommands());
    }

    Result Compile(std::string_view source) {
        Result r;
        ByteBuffer code;
        ScriptHandleLookup lookup = [this](std::string_view name) -> uint32_t {
            lookups.emplace_back(name);
            return name == "Known" ? 7u : 0u;
        };
        r.ok = CompileScriptText(source, lookup, &code, &r.error, &r.position);
        r.code.assign(code.bytes().begin(), code.bytes().end());
        return r;
    }

    void ExpectCode(std::string_view source, const Code &expected) {
        Result r = Compile(source);
        ASSERT_TRUE(r.ok) << source << ": " << r.error << " at " << r.position;
        EXPECT_EQ(Hex(r.code), Hex(expected.bytes)) << source;
    }

    void ExpectError(std::string_view source, std::string_view message, size_t position) {
        Result r = Compile(source);
        EXPECT_FALSE(r.ok) << source;
        EXPECT_EQ(r.error, message) << source;
        EXPECT_EQ(r.position, position) << source;
    }

    std::vector<std::string> lookups;
};

constexpr uint32_t kSetName = 32, kSetEnabled = 34, kTimerCommand = 57, kSetPosition = 63,
                   kGetPosition = 64, kAddForce = 141, kCopyValue = 349, kCollisionGroup = 134,
                   kGetCurrentCamera = 375, kDelete = 48, kImportCollision = 359,
                   kSetAimTarget = 1754;

TEST_F(ScriptCompileTest, GroupLiteralGolden) {
    Result r = Compile("this.Set_Position((1, 2, 3));");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.code.size(), 38u);
    EXPECT_EQ(Hex(r.code),
              Hex(Code().Access(3).U32(kSetPosition).U32(12).Real(1).Real(2).Real(3).End().bytes));
}

TEST_F(ScriptCompileTest, EmptySourceIsTheEndMarkAlone) {
    EXPECT_EQ(Hex(Compile("").code), "5f 45 6e 64");
    EXPECT_EQ(Hex(Compile(" \t\r\n// note\n/* block */ ").code), "5f 45 6e 64");
    // The text ends at its first NUL byte.
    EXPECT_EQ(Hex(Compile(std::string_view("\0this.Delete();", 15)).code), "5f 45 6e 64");
}

TEST_F(ScriptCompileTest, AccessGoldens) {
    ExpectCode("[safe]this.Set_Enabled(1);", Code().Access(3, true).U32(kSetEnabled).Int(1).End());
    ExpectCode("local.Set_Enabled(0);", Code().Access(4).U32(kSetEnabled).Int(0).End());
    ExpectCode("local/a/b.Set_Enabled(1);",
               Code().Access(7).Text("a/b").U32(kSetEnabled).Int(1).End());
    ExpectCode("Door_1/Handle.Set_Enabled(1);",
               Code().Access(6).Text("Door_1/Handle").U32(kSetEnabled).Int(1).End());
    ExpectCode("[ga]GA12.Set_Enabled(1);", Code().Access(5).U32(12).U32(kSetEnabled).Int(1).End());
    ExpectCode("[safe][ga]GA12/child.Set_Enabled(1);",
               Code().Access(8, true).U32(12).Text("child").U32(kSetEnabled).Int(1).End());
    // Characters after the digits are skipped up to a '/'.
    ExpectCode("[ga]GA7_Player/x.Delete();", Code().Access(8).U32(7).Text("x").U32(kDelete).End());
    ExpectCode("sys.Save_Game(\"demo.sav\");",
               Code().Access(9).U32(368).U32(11).Text("demo.sav").End());
}

TEST_F(ScriptCompileTest, CommandParameterGoldens) {
    ExpectCode("this.TimerCommand(0.5, Set_Position((1, 2, 3)));",
               Code().Access(3).U32(kTimerCommand).Real(0.5f).U32(13).U32(kSetPosition).U32(12)
                   .Real(1).Real(2).Real(3).End());
    // "CommandID" literals and "ActorPointer" accesses.
    ExpectCode("this.Copy_Value(Set_Position, local/a, Get_Position);",
               Code().Access(3).U32(kCopyValue).U32(11).U32(kSetPosition).U32(11).Access(7)
                   .Text("a").U32(11).U32(kGetPosition).End());
    ExpectCode("this.AddForceInDirectionOf([safe][ga]GA3, -1.5, 2, 1e1);",
               Code().Access(3).U32(kAddForce).U32(11).Access(5, true).U32(3).Real(-1.5f).Real(2)
                   .Real(10).End());
    ExpectCode("this.Set_AimTarget(this);",
               Code().Access(3).U32(kSetAimTarget).U32(11).Access(3).End());
    // Quoted and bare strings; a bare text keeps its blanks.
    ExpectCode("this.Set_Name(\"a, (b)\");",
               Code().Access(3).U32(kSetName).U32(11).Text("a, (b)").End());
    ExpectCode("this.Set_Name( bare text );",
               Code().Access(3).U32(kSetName).U32(11).Text("bare text ").End());
    ExpectCode("this.Set_Name();", Code().Access(3).U32(kSetName).U32(11).Text("").End());
    // "String128": a zero-filled 128-byte slot, at most 127 characters.
    Result r = Compile("this.Import_Collision(\"" + std::string(200, 'x') + "\", this, 1, s);");
    ASSERT_TRUE(r.ok) << r.error;
    ASSERT_GT(r.code.size(), 2 + 4 + 4 + 128u);
    EXPECT_EQ(r.code[2], kImportCollision & 0xff);
    EXPECT_EQ(r.code[10 + 126], 'x');
    EXPECT_EQ(r.code[10 + 127], 0);
}

TEST_F(ScriptCompileTest, ScriptCallGoldens) {
    ExpectCode("this.Known();", Code().Access(3).U32(1).U32(7).End());
    ExpectCode("this.Missing();", Code().Access(3).U32(1).U32(0).End());
    EXPECT_EQ(lookups, (std::vector<std::string>{"Known", "Missing"}));
    ExpectCode("local.Foo();", Code().Access(4).U32(2).Text("Foo").End());
    ExpectCode("local.[safe]Foo();", Code().Access(4).U32(3).Text("Foo").End());
    ExpectCode("a/b.[safe]Foo();", Code().Access(6).Text("a/b").U32(3).Text("Foo").End());
    ExpectCode("local/x.Foo();", Code().Access(7).Text("x").U32(2).Text("Foo").End());
    // "Set Operational" is not callable from scripts: a script name.
    ExpectCode("this.Set_Operational();", Code().Access(3).U32(1).U32(0).End());
    // A name of any length.
    std::string longName(5000, 'n');
    ExpectCode("local." + longName + "();", Code().Access(4).U32(2).Text(longName).End());
}

TEST_F(ScriptCompileTest, NamesIgnoreCaseAndBlanksAroundTheBracket) {
    Result a = Compile("this.Set_Enabled(1);");
    Result b = Compile("this.set_enabled(1);");
    Result c = Compile("this.SET_ENABLED /* x */ // y\n\t(1);");
    ASSERT_TRUE(a.ok && b.ok && c.ok);
    EXPECT_EQ(std::tuple(a.code, a.code), std::tuple(b.code, c.code));
    // Higher id of a name registered twice.
    ExpectCode("this.character_is_neutral(1);", Code().Access(3).U32(864).Int(1).End());
}

TEST_F(ScriptCompileTest, NameSharingACommandsHashIsAScriptName) {
    // Search a name whose hash equals that of "set_name": a letter prefix and
    // three free bytes z, x, y solving z*65599^2 + x*65599 + y = rest.
    const uint32_t target = NameHash("set_name");
    auto usable = [](int v) {
        char c = static_cast<char>(v);
        return v >= -128 && v <= 127 && c != 0 &&
               std::string_view("()., \t\r\n/*\"").find(c) == std::string_view::npos;
    };
    std::string found;
    for (uint32_t n = 0; n < 26u * 26u * 26u * 26u && found.empty(); ++n) {
        std::string prefix = "q";
        for (uint32_t k = n, i = 0; i < 4; ++i, k /= 26)
            prefix += static_cast<char>('a' + k % 26);
        uint32_t rest = target - NameHash(prefix) * 65599u * 65599u * 65599u;
        for (int z = -128; z <= 127 && found.empty(); ++z) {
            if (!usable(z))
                continue;
            auto r = static_cast<int32_t>(rest - static_cast<uint32_t>(z) * 65599u * 65599u);
            int x = static_cast<int>((static_cast<int64_t>(r) + 32799) / 65599);
            if (r < -32799)
                x = static_cast<int>((static_cast<int64_t>(r) - 32799) / 65599);
            int y = static_cast<int>(static_cast<int64_t>(r) - static_cast<int64_t>(x) * 65599);
            if (usable(x) && usable(y))
                found = prefix + static_cast<char>(z) + static_cast<char>(x) + static_cast<char>(y);
        }
    }
    ASSERT_FALSE(found.empty());
    ASSERT_EQ(NameHash(found), target);
    EXPECT_EQ(LookupCommandByName(found), 0u);
    ExpectCode("local." + found + "();", Code().Access(4).U32(2).Text(found).End());
}

TEST_F(ScriptCompileTest, LiteralsWithoutSourceFormKeepTheCodeAligned) {
    // A bare literal of a group type: the type's size in zeros.
    ExpectCode("this.Set_Position(5);", Code().Access(3).U32(kSetPosition).U32(11).Zeros(12).End());
    // A pointer: a native pointer slot of zeros.
    ExpectCode("this.Get_Current_Camera(x);",
               Code().Access(3).U32(kGetCurrentCamera).U32(11).Zeros(8).End());
    // An empty group of a type without components: the tag alone; the run
    // supplies the zero value.
    ExpectCode("this.Set_Enabled(());", Code().Access(3).U32(kSetEnabled).U32(12).End());
    ExpectCode("this.Set_Collision_Group((), 1);",
               Code().Access(3).U32(kCollisionGroup).U32(12).Int(1).End());
    using P = ParamType;
    EXPECT_EQ((std::vector<size_t>{ScriptZeroValueSize(P::DataWithSizeheader),
                                   ScriptZeroValueSize(P::DataNullterminated16),
                                   ScriptZeroValueSize(P::DataNullterminated32),
                                   ScriptZeroValueSize(P::ScriptPointer), ScriptZeroValueSize(P::Matrix)}),
              (std::vector<size_t>{4, 2, 4, 8, 64}));
}

TEST_F(ScriptCompileTest, StatementErrors) {
    ExpectError("/* open", "Missing end of comment!", 7);
    ExpectError("this.Set_Enabled(1); /* open", "Missing end of comment!", 28);
    ExpectError("this .Set_Enabled(1);", "Expected '.' after ActorAccess", 4);
    ExpectError("this", "Unexpected end of script!", 4);
    ExpectError("sys", "Unexpected end of script!", 3);
    ExpectError("this.", "Unexpected end of script!", 5);
    ExpectError("this.Set_Enabled  ", "Unexpected end of script!", 18);
    ExpectError("this.Set Enabled(1);", "ParseParamRecursive() _1_ Expected '('", 9);
    ExpectError("this. Set_Enabled(1);", "ParseParamRecursive() _1_ Expected '('", 6);
    ExpectError("this.Set_Position(1, 2, 3);", "To many params, Expected ')' Parse Sync Error!",
                19);
    ExpectError("this.Set_Enabled(1, 2);", "To many params, Expected ')' Parse Sync Error!", 18);
    ExpectError("this.Set_Operational(1);", "Expected ')' Parse Sync Error!", 21);
    ExpectError("this.Set_Enabled(1) ;", "Expected ';' Parse Sync Error!", 19);
    ExpectError("this.Set_Enabled(1)", "Expected ';' Parse Sync Error!", 19);
    ExpectError("[ga]GA3.Foo();", "Checking ActorAccessType: Parse Sync Error!", 12);
    ExpectError("[ga]GA3/a.Foo();", "Checking ActorAccessType: Parse Sync Error!", 14);
    ExpectError("sys.Foo();", "Checking ActorAccessType: Parse Sync Error!", 8);
    ExpectError("[ga]GA0.Delete();", "Invalid GAindex! must be in the range 1 - 999", 7);
    ExpectError("[ga]GA1000.Delete();", "Invalid GAindex! must be in the range 1 - 999", 10);
    ExpectError("[ga]GA.Delete();", "Invalid GAindex! must be in the range 1 - 999", 6);
    ExpectError("[ga]GAx.Delete();", "Invalid GAindex! must be in the range 1 - 999", 6);
    // The first error stops the compile: later statements are not read.
    ExpectError("this.Delete(); this.Set Enabled(1); this .x();",
                "ParseParamRecursive() _1_ Expected '('", 24);
}

TEST_F(ScriptCompileTest, BlanksBeforeTheClosingBracket) {
    // A bare literal takes the blank into its text.
    EXPECT_TRUE(Compile("this.Set_Enabled(1 );").ok);
    EXPECT_TRUE(Compile("this.Set_Enabled(1\t\n);").ok);
    ExpectError("this.Set_Name(\"x\" );", "Expected ')' Parse Sync Error!", 17);
    ExpectError("this.Set_Position((1, 2, 3) );", "Expected ')' Parse Sync Error!", 27);
    ExpectError("this.TimerCommand(1, Delete() );", "Expected ')' Parse Sync Error!", 29);
    ExpectError("this.Delete( );", "Expected ')' Parse Sync Error!", 12);
    // Tabs and line ends are skipped there.
    EXPECT_TRUE(Compile("this.Delete(\t\r\n);").ok);
}

TEST_F(ScriptCompileTest, ParameterErrors) {
    ExpectError("this.Set_Enabled(\"1\");", "ParseParamRecursive() Unexpected start of string", 17);
    ExpectError("this.Set_Name(ab\"c\");", "ParseParamRecursive() Unexpected start of string", 14);
    ExpectError("this.TimerCommand(1, Set_Enabled x(1));", "ParseParamRecursive() _2_ Expected '('",
                33);
    ExpectError("this.Set_Position((1, 2, 3, 4));", "ParseParamRecursive() Expected ')'", 26);
    ExpectError("this.Set_Enabled((1));", "ParseParamRecursive() Expected ')'", 18);
    ExpectError("this.TimerCommand(1, Set_Enabled(1, 2));", "ParseParamRecursive() Expected ')'",
                34);
    ExpectError("this.TimerCommand(1, 2);", "ParseParamRecursive() QV_CMDD_COMMAND Expected a '('",
                21);
    ExpectError("sys.Save_Game(demo.sav);", "ParseParamRecursive() FORBIDDEN POINT", 14);
    ExpectError("this.Set_Name(abc", "ParseParamRecursive() FORBIDDEN POINT", 14);
    ExpectError("this.AddForceInDirectionOf(../a, 1, 2, 3);",
                "ParseParamRecursive() FORBIDDEN POINT", 27);
    ExpectError("this.TimerCommand(1, NoSuch(1));",
                "Parse_CommandID() No such Command! FORBIDDEN POINT", 27);
    ExpectError("this.Copy_Value(NoSuch, this, Get_Position);",
                "Parse_CommandID() No such Command! FORBIDDEN POINT", 22);
    // The first ',' is taken as a separator: "this" is read as the command.
    ExpectError("this.Copy_Value(, this, Get_Position);",
                "Parse_CommandID() No such Command! FORBIDDEN POINT", 22);
}

TEST_F(ScriptCompileTest, RealLiterals) {
    ExpectCode("this.TimerCommand(-1.5, Delete());",
               Code().Access(3).U32(kTimerCommand).Real(-1.5f).U32(13).U32(kDelete).End());
    ExpectError("this.TimerCommand(1.5.x, Delete());", "ParseParamRecursive() FORBIDDEN POINT", 18);
    ExpectError("this.TimerCommand(+1.5, Delete());", "ParseParamRecursive() FORBIDDEN POINT", 18);
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<const char *, float> reals[] = {
        {"1.5", 1.5f}, {"-.25", -0.25f}, {"+2", 2.0f}, {"2.5e2xyz", 250.0f}, {"abc", 0.0f},
        {"", 0.0f},    {"+-1", 0.0f},    {"1e39", inf}, {"-1e400", -inf},    {"1e-60", 0.0f}};
    for (const auto &[text, value] : reals)
        EXPECT_EQ(ParseScriptReal(text), value) << text;
}

TEST_F(ScriptCompileTest, NumberWordsAreNoNumberAndGiveZero) {
    // "nan", "inf" and "infinity" hold no decimal number: in any case, with
    // or without a sign, they give 0 as other words do. A number past the
    // float range is still an infinity.
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<const char *, float> reals[] = {
        {"nan", 0.0f},       {"NaN", 0.0f},        {"-nan", 0.0f},      {"+NAN", 0.0f},
        {"nan(7)", 0.0f},    {"inf", 0.0f},        {"-inf", 0.0f},      {"+Inf", 0.0f},
        {"infinity", 0.0f},  {"-INFINITY", 0.0f},  {"infinite", 0.0f},  {"1e39", inf},
        {"-1e39", -inf},     {".5", 0.5f},         {"-.5e1", -5.0f}};
    for (const auto &[text, value] : reals) {
        const float parsed = ParseScriptReal(text);
        EXPECT_TRUE(parsed == value && !std::isnan(parsed)) << text << " gives " << parsed;
    }
    constexpr uint32_t kSetGlobalSpeedMultiplier = 403;
    for (const char *word : {"nan", "inf", "-Infinity"}) {
        ExpectCode(std::string("this.Set_Global_Speed_Multiplier(") + word + ");",
                   Code().Access(3).U32(kSetGlobalSpeedMultiplier).Real(0.0f).End());
    }
}

TEST_F(ScriptCompileTest, IntegerLiterals) {
    // Leading digits only, taken modulo 2^32.
    const std::pair<const char *, uint32_t> integers[] = {
        {"42", 42u},  {"+2", 2u},  {"-1", 0xFFFFFFFFu}, {"12abc", 12u},
        {"1.9", 1u}, {"abc", 0u}, {"-", 0u},           {"4294967297", 1u}};
    for (const auto &[text, value] : integers)
        EXPECT_EQ(ParseScriptInteger(text), value) << text;
    ExpectCode("this.Set_Collision_Group(+2, -1);",
               Code().Access(3).U32(kCollisionGroup).Int(2).Int(0xFFFFFFFFu).End());
}

TEST_F(ScriptCompileTest, DeepNestingIsRefused) {
    std::string source = "this.TimerCommand(1, ";
    for (int i = 0; i < 100; ++i)
        source += "TimerCommand(1, ";
    source += "Delete()";
    for (int i = 0; i < 101; ++i)
        source += ")";
    source += ";";
    Result r = Compile(source);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "ParseParamRecursive() Nesting too deep");
}

// A numpunct whose decimal point is a comma.
struct CommaPunct : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
};

TEST_F(ScriptCompileTest, NumbersIgnoreTheLocale) {
    std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    std::string previousC = std::setlocale(LC_ALL, nullptr);
    for (const char *name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "de_DE"}) {
        if (std::setlocale(LC_ALL, name) != nullptr)
            break;
    }
    float value = ParseScriptReal("1.5");
    Result r = Compile("this.TimerCommand(1.5, Delete());");
    std::setlocale(LC_ALL, previousC.c_str());
    std::locale::global(previous);
    EXPECT_EQ(value, 1.5f);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(Hex(r.code),
              Hex(Code().Access(3).U32(kTimerCommand).Real(1.5f).U32(13).U32(kDelete).End().bytes));
}

} // namespace

TEST(ScriptCompileRecord, NoOwner) {
    ScriptRecord record;
    record.source = "this.Delete();";
    record.compiled = std::make_shared<ByteBuffer>();
    std::string error;
    size_t position = 5;
    EXPECT_EQ(CompileScript(&record, nullptr, &error, &position), 0);
    EXPECT_EQ(std::tuple(error, position, record.compiled), std::tuple("No Owner!", 0u, nullptr));
    EXPECT_EQ(CompileScript(nullptr, nullptr, nullptr, nullptr), 0);
}
