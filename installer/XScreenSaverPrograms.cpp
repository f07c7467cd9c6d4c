#include "installer/XScreenSaverPrograms.h"

#include <QRegularExpression>

namespace gloam::installer {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

bool continues(const QByteArray& line)
{
    qsizetype slashes = 0;
    for (qsizetype k = line.size() - 1; k >= 0 && line[k] == '\\'; --k) {
        ++slashes;
    }
    return slashes % 2 == 1;
}

QByteArray trimmed(const QByteArray& bytes)
{
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && isBlank(bytes[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(bytes[end - 1])) {
        --end;
    }
    return bytes.mid(begin, end - begin);
}

const QByteArray entryIndent = "\t\t\t\t";
const QByteArray separator = "\\n";

QByteArray entryLine(const QByteArray& entry, bool more)
{
    return entryIndent + entry + "\t" + separator + (more ? "\\" : "");
}

} // namespace

XScreenSaverPrograms::XScreenSaverPrograms(QByteArray text, QByteArray key)
    : key_(std::move(key))
{
    const qsizetype lineEnds = text.count('\n');
    const qsizetype crlfEnds = text.count("\r\n");
    if (crlfEnds > 0 && crlfEnds == lineEnds) {
        crlf_ = true;
        text.replace("\r\n", "\n");
    } else if (crlfEnds > 0) {
        mixedLineEnds_ = true;
        text.clear();
    }
    lines_ = text.split('\n');
    parse();
}

QByteArray XScreenSaverPrograms::text() const
{
    QByteArray joined = lines_.join('\n');
    if (crlf_) {
        joined.replace("\n", "\r\n");
    }
    return joined;
}

void XScreenSaverPrograms::parse()
{
    listFirst_ = listLast_ = -1;
    unseparatedLine_ = -1;
    entries_.clear();
    const int count = static_cast<int>(lines_.size());
    for (int first = 0; first < count;) {
        int last = first;
        while (last + 1 < count && continues(lines_[last])) {
            ++last;
        }
        if (trimmed(lines_[first]).startsWith(key_)) {
            listFirst_ = first;
            listLast_ = last;
        }
        first = last + 1;
    }
    if (listFirst_ < 0) {
        return;
    }
    // The list's value with the line and the place in it each byte came from.
    QByteArray value;
    std::vector<int> origin;
    std::vector<qsizetype> column;
    for (int line = listFirst_; line <= listLast_; ++line) {
        QByteArray content = lines_[line];
        qsizetype from = 0;
        if (line == listFirst_) {
            from = content.indexOf(key_) + key_.size();
            content = content.mid(from);
        }
        if (continues(content)) {
            content.chop(1);
        }
        value += content;
        origin.insert(origin.end(), static_cast<std::size_t>(content.size()), line);
        for (qsizetype k = 0; k < content.size(); ++k) {
            column.push_back(from + k);
        }
    }
    qsizetype start = 0;
    while (start <= value.size()) {
        qsizetype end = value.indexOf(separator, start);
        if (end < 0) {
            end = value.size();
        }
        qsizetype a = start;
        qsizetype b = end;
        while (a < b && isBlank(value[a])) {
            ++a;
        }
        while (b > a && isBlank(value[b - 1])) {
            --b;
        }
        if (a < b) {
            Entry entry;
            entry.text = value.mid(a, b - a);
            entry.enabled = !entry.text.startsWith('-');
            entry.program = programOf(entry.text);
            entry.firstLine = origin[static_cast<std::size_t>(a)];
            entry.lastLine = origin[static_cast<std::size_t>(b - 1)];
            if (end == value.size()) {
                unseparatedLine_ = entry.lastLine;
                unseparatedColumn_ = column[static_cast<std::size_t>(b - 1)] + 1;
            } else {
                unseparatedLine_ = -1;
            }
            entries_.push_back(std::move(entry));
        }
        start = end + separator.size();
    }
}

QByteArray XScreenSaverPrograms::programOf(const QByteArray& entry)
{
    QByteArray rest = trimmed(entry);
    if (rest.startsWith('-')) {
        rest = trimmed(rest.mid(1));
    }
    // An optional visual ("GL:", "default:") ...
    static const QRegularExpression visual(QStringLiteral("^[A-Za-z0-9_-]+:"));
    const auto match = visual.match(QString::fromLatin1(rest));
    if (match.hasMatch()) {
        rest = trimmed(rest.mid(match.capturedLength()));
    }
    // ... and an optional pretty name in double quotes.
    if (rest.startsWith('"')) {
        const qsizetype close = rest.indexOf('"', 1);
        rest = close < 0 ? QByteArray() : trimmed(rest.mid(close + 1));
    }
    // The command's first word, with the shell's quotes taken off.
    QByteArray word;
    char quote = 0;
    for (qsizetype k = 0; k < rest.size(); ++k) {
        const char c = rest[k];
        if (quote) {
            if (c == quote) {
                quote = 0;
            } else if (c == '\\' && quote == '"' && k + 1 < rest.size()) {
                word += rest[++k];
            } else {
                word += c;
            }
        } else if (c == '\'' || c == '"') {
            quote = c;
        } else if (c == '\\' && k + 1 < rest.size()) {
            word += rest[++k];
        } else if (isBlank(c)) {
            break;
        } else {
            word += c;
        }
    }
    return word;
}

QByteArray XScreenSaverPrograms::entryFor(const QByteArray& name, const QByteArray& program,
                                          const QByteArray& arguments)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._+,=@%-]+$"));
    QByteArray command = program;
    if (!plain.match(QString::fromUtf8(program)).hasMatch()) {
        command = "'" + QByteArray(program).replace("'", "'\\''") + "'";
    }
    return "GL: \"" + name + "\" " + command + (arguments.isEmpty() ? QByteArray() : " " + arguments);
}

bool XScreenSaverPrograms::isEnabled(const QByteArray& program) const
{
    for (const Entry& entry : entries_) {
        if (entry.enabled && entry.program == program) {
            return true;
        }
    }
    return false;
}

int XScreenSaverPrograms::indexOf(const QByteArray& program) const
{
    for (std::size_t k = 0; k < entries_.size(); ++k) {
        if (entries_[k].program == program) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

bool XScreenSaverPrograms::onlyEntryOn(int line, const Entry& entry) const
{
    for (const Entry& other : entries_) {
        if (&other != &entry && other.firstLine <= line && line <= other.lastLine) {
            return false;
        }
    }
    return true;
}

void XScreenSaverPrograms::rewriteList(const std::vector<QByteArray>& entries)
{
    QList<QByteArray> list{key_ + "\t\t\\"};
    for (const QByteArray& entry : entries) {
        list.append(entryLine(entry, true));
    }
    list.append(QByteArray()); // the blank line that ends the continued resource
    lines_.remove(listFirst_, listLast_ - listFirst_ + 1);
    for (qsizetype k = 0; k < list.size(); ++k) {
        lines_.insert(listFirst_ + k, list[k]);
    }
    parse();
}

bool XScreenSaverPrograms::add(const QByteArray& entry, const QByteArray& program, const QList<QByteArray>& seed)
{
    if (!hasList()) {
        // A new list at the end of the file, after the last line's newline.
        if (lines_.isEmpty() || !lines_.last().isEmpty()) {
            lines_.append(QByteArray());
        }
        listFirst_ = listLast_ = static_cast<int>(lines_.size()) - 1;
        lines_.last() = key_;
        std::vector<QByteArray> entries(seed.begin(), seed.end());
        entries.push_back(entry);
        rewriteList(entries);
        if (listLast_ == lines_.size() - 1) {
            lines_.append(QByteArray()); // the file still ends with a line break
        }
        return true;
    }
    for (const Entry& existing : entries_) {
        if (existing.program != program) {
            continue;
        }
        if (existing.text == entry) {
            return false;
        }
        if (existing.firstLine == existing.lastLine) {
            QByteArray& line = lines_[existing.firstLine];
            const qsizetype at = line.lastIndexOf(existing.text);
            line.replace(at, existing.text.size(), entry);
        } else {
            std::vector<QByteArray> entries;
            for (const Entry& other : entries_) {
                entries.push_back(&other == &existing ? entry : other.text);
            }
            rewriteList(entries);
        }
        parse();
        return true;
    }
    separateLastEntry();
    QByteArray& last = lines_[listLast_];
    if (listLast_ > listFirst_ && trimmed(last).isEmpty()) {
        // The usual shape: "... \n\" lines ended by a blank line.
        lines_.insert(listLast_, entryLine(entry, true));
    } else if (continues(last)) {
        // The list runs to the end of the file.
        lines_.insert(listLast_ + 1, entryLine(entry, false));
    } else {
        const QByteArray content = trimmed(listLast_ == listFirst_ ? last.mid(last.indexOf(key_) + key_.size()) : last);
        if (content.isEmpty()) {
            last += "\t\\";
        } else if (content.endsWith(separator)) {
            last += "\\";
        } else {
            last += " " + separator + "\\";
        }
        lines_.insert(listLast_ + 1, entryLine(entry, false));
    }
    parse();
    return true;
}

bool XScreenSaverPrograms::remove(const QByteArray& program)
{
    bool changed = false;
    for (;;) {
        const int index = indexOf(program);
        if (index < 0) {
            return changed;
        }
        changed = true;
        const Entry& entry = entries_[static_cast<std::size_t>(index)];
        const int line = entry.firstLine;
        if (entry.firstLine == entry.lastLine && line != listFirst_ && onlyEntryOn(line, entry)) {
            const bool wasLast = line == listLast_;
            lines_.removeAt(line);
            if (wasLast && continues(lines_[line - 1])) {
                // The line before now ends the list: it must not continue into the next.
                lines_[line - 1].chop(1);
            }
            parse();
        } else {
            std::vector<QByteArray> entries;
            for (const Entry& other : entries_) {
                if (&other != &entry) {
                    entries.push_back(other.text);
                }
            }
            rewriteList(entries);
        }
    }
}

void XScreenSaverPrograms::separateLastEntry()
{
    if (unseparatedLine_ < 0) {
        return;
    }
    lines_[unseparatedLine_].insert(unseparatedColumn_, separator);
    parse();
}

void XScreenSaverPrograms::removeList()
{
    if (hasList()) {
        lines_.remove(listFirst_, listLast_ - listFirst_ + 1);
        parse();
    }
}

} // namespace gloam::installer
