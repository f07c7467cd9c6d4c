#pragma once

#include <QString>

namespace gloam::installer {

// The texts the installer shows.
inline const QString rootMessage =
    QStringLiteral("Open this installer from your normal account, without administrator commands.");
inline const QString noHomeMessage =
    QStringLiteral("Your home folder is not set (HOME is empty). Open this installer from your desktop session.");
inline const QString lockedMessage =
    QStringLiteral("Another Gloamyard installer is already at work. Let it finish, then click Retry Installation.");
inline const QString quitAppMessage = QStringLiteral("Quit Gloamyard, then click Retry Installation.");
inline const QString packageMissingMessage =
    QStringLiteral("The installation package is missing. Download the installer again.");
inline const QString noXScreenSaverMessage =
    QStringLiteral("XScreenSaver is not installed. Install it (for example with “sudo apt install xscreensaver”), "
                   "then click Retry Installation.");
inline const QString installingHeading = QStringLiteral("Installing Gloamyard");
inline const QString installingStatus = QStringLiteral("Installing the app and screensaver…");
inline const QString unpackMessage =
    QStringLiteral("The package installation couldn’t finish. Quit Gloamyard if it is open, then retry.");
inline const QString unsignedPackageMessage =
    QStringLiteral("The installation package is not signed by Gloamyard’s maker, so nothing was installed. "
                   "Download the installer again.");
// %1: what is wrong with it.
inline const QString damagedPackageMessage =
    QStringLiteral("The installation package is damaged (%1), so nothing was installed. Download the installer again.");
inline const QString verifyingStatus = QStringLiteral("Verifying the installed files…");
inline const QString mismatchMessage =
    QStringLiteral("The installed files don’t match this installer. Retry installation.");
inline const QString unverifiedMessage =
    QStringLiteral("The installed files could not be verified. Download the installer again.");
inline const QString startCheckMessage =
    QStringLiteral("The installed app did not start and report its version. Retry installation.");
inline const QString registeringStatus = QStringLiteral("Adding Gloamyard to the XScreenSaver settings…");
inline const QString desktopMessage = QStringLiteral("Your desktop couldn’t register Gloamyard. Retry installation.");
inline const QString screensaverMessage =
    QStringLiteral("XScreenSaver couldn’t register the screensaver. Retry installation.");
inline const QString damagedMessage =
    QStringLiteral("Your XScreenSaver settings file (~/.xscreensaver) is damaged, so the screensaver was not added. "
                   "Repair or rename that file, then click Retry Installation.");
inline const QString readOnlyMessage =
    QStringLiteral("Your XScreenSaver settings file (~/.xscreensaver) is read-only, so the screensaver was not "
                   "added. Make it writable, then click Retry Installation.");
inline const QString noDefaultListMessage =
    QStringLiteral("XScreenSaver’s list of display modes was not found, so the screensaver was not added. Open the "
                   "XScreenSaver settings once and save them, then click Retry Installation.");
inline const QString notAvailableMessage = QStringLiteral(
    "The files are installed, but XScreenSaver has not made the screensaver available. Retry installation.");
inline const QString refreshingStatus = QStringLiteral("Refreshing the XScreenSaver settings…");
inline const QString closeSettingsMessage =
    QStringLiteral("Close the XScreenSaver settings, then click Open XScreenSaver Settings to finish.");
inline const QString refreshMessage = QStringLiteral(
    "The screensaver is installed, but settings could not be refreshed. Click Open XScreenSaver Settings to retry.");
inline const QString completeHeading = QStringLiteral("Installation complete");
inline const QString modernInstructions =
    QStringLiteral("In XScreenSaver Settings, choose Gloamyard under Display Modes.\n"
                   "Use Gloamyard Screen Saver Options to pick a vehicle and turn on sound, which is off by default.");
inline const QString legacyInstructions =
    QStringLiteral("Choose Gloamyard in XScreenSaver Preferences.\n"
                   "Use Gloamyard Screen Saver Options to pick a vehicle and turn on sound, which is off by default.");
inline const QString completeStatus = QStringLiteral("The companion app is in your desktop’s applications menu.");
inline const QString modernOpenMessage =
    QStringLiteral("Open XScreenSaver Settings (xscreensaver-settings) and choose Gloamyard.");
inline const QString legacyOpenMessage =
    QStringLiteral("Open XScreenSaver Preferences (xscreensaver-demo) and choose Gloamyard.");
inline const QString failedAfterHeading = QStringLiteral("Installed — one more step");
inline const QString failedBeforeHeading = QStringLiteral("Setup couldn’t finish");
inline const QString retryTitle = QStringLiteral("Retry Installation");

// %1: the tool, %2: its time limit in seconds; followed by the step's message.
inline const QString toolTimeoutMessage = QStringLiteral("“%1” did not finish within %2 seconds. ");

// Uninstall texts (printed on the command line).
inline const QString quitForUninstallMessage = QStringLiteral("Quit Gloamyard, then run the uninstall again.");
inline const QString damagedUninstallMessage =
    QStringLiteral("Your XScreenSaver settings file (~/.xscreensaver) is damaged; nothing was removed. Repair or "
                   "rename that file, then run the uninstall again.");
inline const QString readOnlyUninstallMessage =
    QStringLiteral("Your XScreenSaver settings file (~/.xscreensaver) is read-only; nothing was removed. Make it "
                   "writable, then run the uninstall again.");
inline const QString uninstallWriteMessage =
    QStringLiteral("Gloamyard could not be removed from your XScreenSaver settings; nothing else was removed.");
inline const QString removedMessage = QStringLiteral("Gloamyard was removed. Your Gloamyard settings were kept.");
inline const QString notInstalledMessage = QStringLiteral("Gloamyard is not installed.");

} // namespace gloam::installer
