// `gloamyard-saver --configure` on a private X server, driven with real key
// presses and clicks: the sheet's title, each way of closing it, what it
// stores, and a clean exit (also under the sanitizers, where a panel freed
// twice or read after it was freed fails the run).
// Qt before Xlib, whose Bool and Status macros would break it.
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/saver/SaverProgramFixture.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

namespace gloam::saver::testing {
namespace {

constexpr const char* sheetTitle = "Gloamyard Options";

class SaverOptionsProgramTest : public SaverProgramFixture {
protected:
    // The top-level window whose title is `title`, or none.
    std::optional<Window> topLevelTitled(const std::string& title)
    {
        Window rootReturn = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display(), server().root(), &rootReturn, &parent, &children, &count) == 0) {
            return std::nullopt;
        }
        std::optional<Window> found;
        for (unsigned int index = 0; index < count && !found; ++index) {
            XWindowAttributes attributes{};
            if (XGetWindowAttributes(display(), children[index], &attributes) != 0 &&
                attributes.map_state == IsViewable && titleOf(children[index]) == title) {
                found = children[index];
            }
        }
        if (children != nullptr) {
            XFree(children);
        }
        return found;
    }

    // The window's title as a window manager shows it (_NET_WM_NAME in UTF-8).
    std::string titleOf(Window window)
    {
        const Atom name = XInternAtom(display(), "_NET_WM_NAME", False);
        const Atom utf8 = XInternAtom(display(), "UTF8_STRING", False);
        Atom type = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        std::string title;
        if (XGetWindowProperty(display(), window, name, 0, 1024, False, utf8, &type, &format, &count, &remaining,
                               &data) == Success &&
            type == utf8 && format == 8 && data != nullptr) {
            title.assign(reinterpret_cast<const char*>(data), count);
        }
        if (data != nullptr) {
            XFree(data);
        }
        return title;
    }

    // Every top-level title on the server, for failure messages.
    std::string allTitles()
    {
        Window rootReturn = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        std::string titles;
        if (XQueryTree(display(), server().root(), &rootReturn, &parent, &children, &count) != 0) {
            for (unsigned int index = 0; index < count; ++index) {
                titles += "\"" + titleOf(children[index]) + "\" ";
            }
            XFree(children);
        }
        return titles;
    }

    // Opens the sheet and waits until it is shown and has the keyboard.
    Window openSheet(ChildProcess& sheet)
    {
        std::optional<Window> window;
        EXPECT_TRUE(waitFor([&] {
            window = topLevelTitled(sheetTitle);
            return (window && !recordsStartingWith(sheet.pid(), "native options visible").empty()) || !sheet.running();
        })) << sheet.output()
            << "\ntitles: " << allTitles();
        if (!window) {
            throw std::runtime_error("no window titled \"" + std::string(sheetTitle) + "\"; titles: " + allTitles() +
                                     "\n" + sheet.output());
        }
        XSetInputFocus(display(), *window, RevertToPointerRoot, CurrentTime);
        XSync(display(), False);
        return *window;
    }

    void press(KeySym key)
    {
        const KeyCode code = XKeysymToKeycode(display(), key);
        XTestFakeKeyEvent(display(), code, True, CurrentTime);
        XTestFakeKeyEvent(display(), code, False, CurrentTime);
        XSync(display(), False);
    }

    // Clicks at (x, y) from the window's left and from its bottom: the
    // panel's buttons sit on its bottom edge.
    void clickFromBottom(Window window, int x, int fromBottom)
    {
        XWindowAttributes attributes{};
        XGetWindowAttributes(display(), window, &attributes);
        int rootX = 0;
        int rootY = 0;
        Window child = 0;
        XTranslateCoordinates(display(), window, server().root(), x, attributes.height - fromBottom, &rootX, &rootY,
                              &child);
        XTestFakeMotionEvent(display(), DefaultScreen(display()), rootX, rootY, CurrentTime);
        XTestFakeButtonEvent(display(), 1, True, CurrentTime);
        XTestFakeButtonEvent(display(), 1, False, CurrentTime);
        XSync(display(), False);
    }

    // The shared store of choices as the saver left it.
    QJsonObject stored() const
    {
        const std::string group = "G7N4Q2YARD.net.gloamyard.Gloamyard";
        QFile file(QString::fromStdString((home() / "config" / group / (group + ".json")).string()));
        if (!file.open(QIODevice::ReadOnly)) {
            return {};
        }
        return QJsonDocument::fromJson(file.readAll()).object();
    }

    void expectCleanExit(ChildProcess& sheet)
    {
        const auto status = sheet.wait(endGuardSeconds);
        EXPECT_TRUE(ChildProcess::exitedWith(status, 0)) << ChildProcess::describe(status) << "\n" << sheet.output();
        EXPECT_EQ(topLevelTitled(sheetTitle), std::nullopt);
    }
};

// The buttons' centres: Cancel at x 261 and Save at x 351, both 26 pixels
// above the panel's bottom edge.
constexpr int cancelX = 261;
constexpr int saveX = 351;
constexpr int buttonFromBottom = 26;

TEST_F(SaverOptionsProgramTest, TheSheetIsTitledGloamyardOptionsAndEscapeOrCancelStoresNothing)
{
    for (const bool byClick : {false, true}) {
        SCOPED_TRACE(byClick ? "Cancel clicked" : "Escape");
        ChildProcess& sheet = start({"--configure"});
        const Window window = openSheet(sheet);
        EXPECT_EQ(titleOf(window), sheetTitle);
        // Change the vehicle and the sound, then leave without saving.
        press(XK_Down);
        press(XK_Tab);
        press(XK_space);
        if (byClick) {
            clickFromBottom(window, cancelX, buttonFromBottom);
        } else {
            press(XK_Escape);
        }
        expectCleanExit(sheet);
        EXPECT_FALSE(stored().contains("vehicle")) << QJsonDocument(stored()).toJson().toStdString();
        EXPECT_FALSE(stored().contains("audio.saver.enabled"));
    }
}

TEST_F(SaverOptionsProgramTest, SaveByReturnStoresTheChoicesAndExitsCleanly)
{
    ChildProcess& sheet = start({"--configure"});
    openSheet(sheet);
    press(XK_Down);  // the second vehicle
    press(XK_Tab);   // to the sound checkbox
    press(XK_space); // sound on
    press(XK_Return);
    expectCleanExit(sheet);
    const QJsonObject choices = stored();
    EXPECT_EQ(choices.value("vehicle").toString(), "vantre") << QJsonDocument(choices).toJson().toStdString();
    EXPECT_EQ(choices.value("audio.saver.enabled").toBool(), true);
    EXPECT_DOUBLE_EQ(choices.value("audio.saver.volume").toDouble(), 0.75);

    // The next presentation starts from what was stored: saving again at
    // once keeps it.
    ChildProcess& again = start({"--configure"});
    openSheet(again);
    press(XK_Return);
    expectCleanExit(again);
    EXPECT_EQ(stored().value("vehicle").toString(), "vantre");
    EXPECT_EQ(stored().value("audio.saver.enabled").toBool(), true);
}

TEST_F(SaverOptionsProgramTest, SaveClickedStoresTheChoicesAndExitsCleanly)
{
    ChildProcess& sheet = start({"--configure"});
    const Window window = openSheet(sheet);
    press(XK_Down);
    press(XK_Down); // the third vehicle; sound left off
    clickFromBottom(window, saveX, buttonFromBottom);
    expectCleanExit(sheet);
    EXPECT_EQ(stored().value("vehicle").toString(), "brusker");
    EXPECT_EQ(stored().value("audio.saver.enabled").toBool(true), false);
}

TEST_F(SaverOptionsProgramTest, ADisplayThatCannotBeOpenedIsOneLineAndStatusOne)
{
    ChildProcess& sheet = start({"--configure", "-display", ":4242"});
    const auto status = sheet.wait(startGuardSeconds);
    EXPECT_TRUE(ChildProcess::exitedWith(status, 1)) << ChildProcess::describe(status);
    EXPECT_EQ(sheet.output(), "gloamyard-saver: cannot open the X display :4242\n");
}

} // namespace
} // namespace gloam::saver::testing
