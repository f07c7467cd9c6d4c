// Reading and editing the mode list of ~/.xscreensaver, byte for byte.
#include "installer/XScreenSaverPrograms.h"

#include <gtest/gtest.h>

namespace gloam::installer::test {
namespace {

const QByteArray ours = "/home/ann/.local/share/net.gloamyard.Gloamyard/bin/gloamyard-saver";
const QByteArray ourEntry = XScreenSaverPrograms::entryFor("Gloamyard", ours, "-root");

// The shapes a settings file's list comes in.
struct Shape {
    const char* name;
    QByteArray text;
    int entries;
    // Whether the round trip gives back the same bytes; a list continued into
    // the end of the file comes back ending its last entry instead.
    bool sameBytes = true;
};

const Shape shapes[] = {
    {"WrittenByXScreenSaver",
     "timeout:\t0:10:00\n"
     "programs:\t\t\t\t\t\t\t\t      \\\n"
     "\t\t\t\tmaze --root\t\t\t\t    \\n\\\n"
     "- GL: \t\t\t\tsuperquadrics --root\t\t\t    \\n\\\n"
     "\n"
     "pointerHysteresis:\t10\n",
     2},
    {"LastEntryEndsTheList",
     "programs:\t\\\n"
     "\t\tmaze --root \\n\\\n"
     "\t\tflame --root \\n\n"
     "lock: True\n",
     2},
    {"EntriesOnTheKeyLine", "programs: maze --root \\n\\\n  qix --root \\n\n", 2},
    {"EmptyList", "lock: False\nprograms:\nmode: one\n", 0},
    {"ListAtTheEndWithoutNewline", "programs:\t\\\n\t\tmaze --root \\n\\", 1, false},
    // The last entry has no "\n" after it: ours must not be glued onto it.
    {"LastEntryWithoutSeparator", "programs:\t\\\n\t\tmaze --root \\n\\\n\t\tflame --root \\\n\nlock: True\n", 2,
     false},
    {"LastEntryWithoutSeparatorOrContinuation", "programs:\t\\\n\t\tmaze --root \\n\\\n\t\tflame --root\nlock: True\n",
     2, false},
    {"WrittenWithCrLf", "timeout:\t0:10:00\r\nprograms:\t\\\r\n\t\tmaze --root \\n\\\r\n\r\nlock: True\r\n", 1},
};

class EditShapes : public ::testing::TestWithParam<Shape> {};

TEST_P(EditShapes, AddingThenRemovingGivesBackTheSameBytes)
{
    XScreenSaverPrograms programs(GetParam().text);
    ASSERT_TRUE(programs.hasList());
    EXPECT_EQ(static_cast<int>(programs.entries().size()), GetParam().entries);
    EXPECT_FALSE(programs.isEnabled(ours));

    EXPECT_TRUE(programs.add(ourEntry, ours));
    // Read back from the text, as XScreenSaver would.
    const XScreenSaverPrograms added(programs.text());
    ASSERT_EQ(static_cast<int>(added.entries().size()), GetParam().entries + 1) << programs.text().data();
    EXPECT_EQ(added.entries().back().text, ourEntry);
    EXPECT_TRUE(added.isEnabled(ours));
    for (int k = 0; k < GetParam().entries; ++k) {
        EXPECT_EQ(added.entries()[k].text, XScreenSaverPrograms(GetParam().text).entries()[k].text);
    }
    // Lines outside the list are untouched.
    for (const QByteArray& line : GetParam().text.split('\n')) {
        if (line.startsWith("lock") || line.startsWith("timeout") || line.startsWith("pointer") ||
            line.startsWith("mode")) {
            EXPECT_TRUE(programs.text().contains(line + "\n")) << line.data();
        }
    }
    EXPECT_FALSE(programs.add(ourEntry, ours)) << "a second add changes nothing";

    XScreenSaverPrograms removed(programs.text());
    EXPECT_TRUE(removed.remove(ours));
    if (GetParam().entries > 0 && GetParam().sameBytes) {
        EXPECT_EQ(removed.text(), GetParam().text);
    }
    EXPECT_FALSE(XScreenSaverPrograms(removed.text()).isEnabled(ours));
    EXPECT_EQ(static_cast<int>(XScreenSaverPrograms(removed.text()).entries().size()), GetParam().entries);
}

TEST(XScreenSaverPrograms, AnEntryWithoutSeparatorKeepsItsOwnCommandLine)
{
    XScreenSaverPrograms programs("programs:\t\\\n\t\tflame -root \\\n\n");
    ASSERT_EQ(programs.entries().size(), 1u);
    EXPECT_TRUE(programs.add(ourEntry, ours));
    const XScreenSaverPrograms added(programs.text());
    ASSERT_EQ(added.entries().size(), 2u) << programs.text().data();
    EXPECT_EQ(added.entries()[0].text, "flame -root");
    EXPECT_EQ(added.entries()[0].program, "flame");
    EXPECT_EQ(added.entries()[1].text, ourEntry);
}

TEST(XScreenSaverPrograms, CrLfFilesAreEditedWithTheirLineEndsAndMixedOnesNotRead)
{
    XScreenSaverPrograms crlf("programs:\t\\\r\n\t\tmaze --root \\n\\\r\n\r\n");
    EXPECT_FALSE(crlf.hasMixedLineEnds());
    ASSERT_EQ(crlf.entries().size(), 1u);
    EXPECT_EQ(crlf.entries()[0].text, "maze --root");
    EXPECT_TRUE(crlf.add(ourEntry, ours));
    EXPECT_EQ(crlf.text().count("\r\n"), crlf.text().count('\n'));

    const XScreenSaverPrograms mixed("programs:\t\\\r\n\t\tmaze --root \\n\\\n\n");
    EXPECT_TRUE(mixed.hasMixedLineEnds());
    EXPECT_TRUE(mixed.entries().empty());
}

INSTANTIATE_TEST_SUITE_P(Shapes, EditShapes, ::testing::ValuesIn(shapes),
                         [](const auto& param) { return std::string(param.param.name); });

TEST(XScreenSaverPrograms, ReadsEntriesLikeXScreenSaver)
{
    const XScreenSaverPrograms programs("programs: \\\n"
                                        "  maze --root \\n\\\n"
                                        " - GL: \"Super Q\" superquadrics --root \\n\\\n"
                                        "\t'/opt/my modes/flame' --root \\n\\\n"
                                        "default: \"Quoted\\\" name\" /usr/bin/qix \\n\\\n"
                                        "\n");
    ASSERT_EQ(programs.entries().size(), 4u);
    EXPECT_EQ(programs.entries()[0].program, "maze");
    EXPECT_TRUE(programs.entries()[0].enabled);
    EXPECT_EQ(programs.entries()[1].program, "superquadrics");
    EXPECT_FALSE(programs.entries()[1].enabled);
    EXPECT_EQ(programs.entries()[2].program, "/opt/my modes/flame");
    EXPECT_TRUE(programs.isEnabled("maze"));
    EXPECT_FALSE(programs.isEnabled("superquadrics"));
    EXPECT_EQ(programs.indexOf("/opt/my modes/flame"), 2);
}

TEST(XScreenSaverPrograms, TheLastListCounts)
{
    const XScreenSaverPrograms programs("programs: maze --root \\n\n"
                                        "programs: qix --root \\n\n");
    ASSERT_EQ(programs.entries().size(), 1u);
    EXPECT_EQ(programs.entries()[0].program, "qix");
}

TEST(XScreenSaverPrograms, ADisabledEntryOfOursIsEnabledInPlace)
{
    const QByteArray text = "programs:\t\\\n"
                            "\t\tmaze --root \\n\\\n"
                            "-\t\tGL: \"Gloamyard\" " +
                            ours +
                            " -root \\n\\\n"
                            "\t\tqix --root \\n\\\n"
                            "\n";
    XScreenSaverPrograms programs(text);
    EXPECT_FALSE(programs.isEnabled(ours));
    EXPECT_TRUE(programs.add(ourEntry, ours));
    ASSERT_EQ(programs.entries().size(), 3u);
    EXPECT_EQ(programs.indexOf(ours), 1) << "the other modes keep their positions";
    EXPECT_TRUE(programs.isEnabled(ours));
    // Only the entry itself changed: its "-" and the blanks after it are gone.
    QByteArray expected = text;
    expected.replace("-\t\tGL: \"Gloamyard\"", "GL: \"Gloamyard\"");
    EXPECT_EQ(programs.text(), expected);
}

TEST(XScreenSaverPrograms, AFileWithoutAListGetsTheSeedAndOurs)
{
    const QByteArray text = "timeout:\t0:05:00\n";
    XScreenSaverPrograms programs(text);
    EXPECT_FALSE(programs.hasList());
    EXPECT_TRUE(programs.add(ourEntry, ours, {"maze --root", "- GL: superquadrics --root"}));
    const XScreenSaverPrograms written(programs.text());
    ASSERT_EQ(written.entries().size(), 3u);
    EXPECT_EQ(written.entries()[1].text, "- GL: superquadrics --root");
    EXPECT_TRUE(written.isEnabled(ours));
    EXPECT_TRUE(programs.text().startsWith(text));
    EXPECT_TRUE(programs.text().endsWith("\n\n"));

    XScreenSaverPrograms removed(programs.text());
    removed.remove(ours);
    removed.removeList();
    EXPECT_EQ(removed.text(), text);
}

TEST(XScreenSaverPrograms, AnEntrySpreadOverLinesIsRemovedAndTheRestKept)
{
    XScreenSaverPrograms programs("programs: maze --root \\n GL: \"Gloamyard\" \\\n" + ours +
                                  " -root \\n qix --root \\n\\\n\n");
    ASSERT_EQ(programs.entries().size(), 3u);
    EXPECT_TRUE(programs.remove(ours));
    const XScreenSaverPrograms left(programs.text());
    ASSERT_EQ(left.entries().size(), 2u);
    EXPECT_EQ(left.entries()[0].text, "maze --root");
    EXPECT_EQ(left.entries()[1].text, "qix --root");
}

TEST(XScreenSaverPrograms, PathsAreQuotedForTheShellWhenNeeded)
{
    EXPECT_EQ(XScreenSaverPrograms::entryFor("Gloamyard", "/home/ann/bin/gloamyard-saver", "-root"),
              "GL: \"Gloamyard\" /home/ann/bin/gloamyard-saver -root");
    const QByteArray odd = "/home/Ann O'Neil/bin/gloamyard-saver";
    const QByteArray entry = XScreenSaverPrograms::entryFor("Gloamyard", odd, "-root");
    EXPECT_EQ(entry, "GL: \"Gloamyard\" '/home/Ann O'\\''Neil/bin/gloamyard-saver' -root");
    EXPECT_EQ(XScreenSaverPrograms::programOf(entry), odd);
}

} // namespace
} // namespace gloam::installer::test
