#pragma once

#include <QByteArray>
#include <QList>

#include <vector>

namespace gloam::installer {

// The display-mode list ("programs:") of an XScreenSaver settings file,
// read and edited as bytes so that every other line, and every other entry
// of the list, stays exactly as it was written.
//
// The list is one X resource continued over lines by a trailing backslash;
// its entries are separated by the two characters "\n". An entry is
// "[-] [visual:] ["Pretty Name"] command line"; a leading "-" disables it.
//
// A file whose every line ends in CR LF is edited as lines and written back
// with CR LF; a file that mixes CR LF and LF line ends is not read at all
// (`hasMixedLineEnds`), since where its entries end cannot be known.
class XScreenSaverPrograms {
public:
    struct Entry {
        QByteArray text;    // the entry as written, without surrounding blanks
        QByteArray program; // the command's first word, unquoted
        bool enabled = true;
        int firstLine = 0;
        int lastLine = 0;
    };

    // `key` is "programs:" in a user's file and "*programs:" in XScreenSaver's
    // built-in settings. The last list in the text counts, as for X resources.
    explicit XScreenSaverPrograms(QByteArray text, QByteArray key = "programs:");

    bool hasList() const { return listFirst_ >= 0; }
    bool hasMixedLineEnds() const { return mixedLineEnds_; }
    const std::vector<Entry>& entries() const { return entries_; }
    QByteArray text() const;

    // Whether an enabled entry runs `program`.
    bool isEnabled(const QByteArray& program) const;

    // Makes `entry` the list's entry for `program`: an entry already running
    // it is rewritten in place (enabling it); otherwise `entry` is appended,
    // so the positions of the other modes (which "selected:" counts) stay.
    // A last entry without its "\n" separator gets one first, so that the
    // new entry is never read as more of its command line.
    // A file without a list gets one made of `seed` and `entry`. Returns
    // whether the text changed.
    bool add(const QByteArray& entry, const QByteArray& program, const QList<QByteArray>& seed = {});

    // Removes every entry running `program`. Returns whether the text changed.
    bool remove(const QByteArray& program);

    // Removes the whole list (for an uninstall that finds only the list it made).
    void removeList();

    // The position of the first entry running `program`, or -1.
    int indexOf(const QByteArray& program) const;

    static QByteArray programOf(const QByteArray& entry);
    // 'GL: "Gloamyard" /path/to/gloamyard-saver -root', quoting the path for the shell when needed.
    static QByteArray entryFor(const QByteArray& name, const QByteArray& program, const QByteArray& arguments);

private:
    void parse();
    void rewriteList(const std::vector<QByteArray>& entries);
    bool onlyEntryOn(int line, const Entry& entry) const;
    void separateLastEntry();

    QByteArray key_;
    bool crlf_ = false;
    bool mixedLineEnds_ = false;
    QList<QByteArray> lines_;
    int listFirst_ = -1;
    int listLast_ = -1;
    std::vector<Entry> entries_;
    // Where the last entry ends (line, byte in that line) when no separator follows it.
    int unseparatedLine_ = -1;
    qsizetype unseparatedColumn_ = 0;
};

} // namespace gloam::installer
