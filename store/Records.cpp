// The field syntax of MDATA.INI and IDDATA.INI: reading whole files and writing records.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Records.h"

#include "Cp932.h"

#include <optional>

namespace store {

namespace {

const char16_t *const NoteFieldLabels[NoteRecord::FieldCount] = {
    u"メッセージ", u"背景色", u"フォント名", u"フォントサイズ", u"上端の位置",
    u"左端の位置", u"幅",     u"高さ",       u"文字色",         u"付箋番号"};

// Fields 4 to 10 of a note are numbers (the font size may be quoted), the task id of an entry too.
bool noteFieldNeedsNumber(int index)
{
    return index >= NoteRecord::FontSize;
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\r' || c == '\n';
}

QString lineError(const QString &fileName, int line, const QString &why)
{
    return QStringLiteral("%1 の %2 行目を読めません（%3）。").arg(fileName).arg(line).arg(why);
}

const QString CutShort = QStringLiteral("レコードが途中で終わっています");

// What is wrong with a record, and on which line.
struct Damage
{
    int line;
    QString why;
};

// Reads records of `FieldCount` fields from the bytes of a whole file; `fieldAt` gives a field.
// `needsNumber` says which fields must hold a number, `fieldName` names a field in messages.
// Without `badLines` the first damaged record fails the whole read; with it, damaged records are
// left out and the lines they start on are listed there.
template <typename Record, int FieldCount, typename FieldAt, typename NeedsNumber,
          typename FieldName>
Result<QList<Record>> parseRecords(const QByteArray &file, const QString &fileName, FieldAt fieldAt,
                                   NeedsNumber needsNumber, FieldName fieldName,
                                   QList<int> *badLines = nullptr)
{
    const QByteArray bytes = file.left(textLength(file));
    const qsizetype firstInvalid = cp932::firstInvalidOffset(bytes);
    if (firstInvalid >= 0 && !badLines) {
        const int line = countLines(bytes.left(firstInvalid + 1));
        return Error{lineError(fileName, qMax(line, 1),
                               QStringLiteral("Shift_JIS（コードページ 932）の文字ではない"
                                              "バイトがあります"))};
    }

    cp932::Decoder decoder;
    const char *b = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype pos = 0;
    int line = 1;
    auto skipLineEnd = [&] {
        if (b[pos] == '\r' && pos + 1 < n && b[pos + 1] == '\n')
            ++pos;
        ++pos;
        ++line;
    };
    auto isAscii = [](const QByteArray &raw) {
        for (const char c : raw) {
            if (uchar(c) >= 0x80)
                return false;
        }
        return true;
    };
    auto decodeField = [&](const QByteArray &raw) {
        // Every byte was checked above (a lenient read drops a record with bad bytes anyway), and
        // a field never splits a character: the delimiters are below 0x40, which no second byte
        // uses.
        return decoder.decode(raw.constData(), raw.size()).value_or(QString());
    };

    // The first line end of a record that stood between two of its fields: a record short of
    // fields takes the next line's first ones, so a damaged one is read again from there.
    qsizetype fieldBreak = -1;
    int fieldBreakLine = 0;
    auto readRecord = [&](Record &record, int recordLine) -> std::optional<Damage> {
        for (int f = 0; f < FieldCount; ++f) {
            while (pos < n && isBlank(b[pos]))
                ++pos;
            if (pos == n)
                return Damage{recordLine, CutShort};
            const int fieldLine = line;
            if (b[pos] == '"') {
                const qsizetype start = pos + 1;
                const qsizetype close = bytes.indexOf('"', start);
                if (close < 0)
                    return Damage{fieldLine,
                                  CutShort + QStringLiteral("。文字列を閉じる \" がありません")};
                for (pos = start; pos < close;) {
                    if (isLineEnd(b[pos]))
                        skipLineEnd();
                    else
                        ++pos;
                }
                const QByteArray raw = bytes.mid(start, close - start);
                fieldAt(record, f) = isAscii(raw)
                                         ? Value::fromAsciiFile(Kind::Text, raw)
                                         : Value::fromFile(Kind::Text, decodeField(raw), raw);
                pos = close + 1;
                while (pos < n && isBlank(b[pos]))
                    ++pos;
                if (pos < n && b[pos] != ',' && !isLineEnd(b[pos]))
                    return Damage{line,
                                  QStringLiteral("文字列を閉じる \" のあとに余分な文字があります。"
                                                 "文字列に \" が含まれている可能性があります")};
            } else {
                qsizetype start = pos;
                while (pos < n && b[pos] != ',' && !isLineEnd(b[pos]))
                    ++pos;
                qsizetype end = pos;
                while (end > start && isBlank(b[end - 1]))
                    --end;
                const QByteArray raw = bytes.mid(start, end - start);
                fieldAt(record, f) = isAscii(raw)
                                         ? Value::fromAsciiFile(Kind::Number, raw)
                                         : Value::fromFile(Kind::Number, decodeField(raw), raw);
            }
            if (needsNumber(f) && !fieldAt(record, f).toNumber())
                return Damage{fieldLine, QStringLiteral("%1 番目の欄（%2）が数値ではありません")
                                             .arg(f + 1)
                                             .arg(fieldName(f))};

            // The delimiter: a comma or a line end between fields, a line end or the end of
            // the file after the last one.
            if (f < FieldCount - 1) {
                if (pos == n)
                    return Damage{recordLine, CutShort};
                if (b[pos] == ',') {
                    ++pos;
                } else {
                    skipLineEnd();
                    if (fieldBreak < 0) {
                        fieldBreak = pos;
                        fieldBreakLine = line;
                    }
                }
            } else if (pos < n) {
                if (b[pos] == ',')
                    return Damage{
                        line,
                        QStringLiteral("レコードの欄が %1 個より多くあります").arg(FieldCount)};
                skipLineEnd();
            }
        }
        return std::nullopt;
    };

    QList<Record> records;
    records.reserve(qMin(bytes.count('\n') + 1, n / (2 * FieldCount) + 1));
    QList<int> damaged;
    while (true) {
        // Empty lines between records are skipped.
        while (pos < n && (isBlank(b[pos]) || isLineEnd(b[pos]))) {
            if (isLineEnd(b[pos]))
                skipLineEnd();
            else
                ++pos;
        }
        if (pos == n)
            break;

        const int recordLine = line;
        const qsizetype recordStart = pos;
        fieldBreak = -1;
        const std::optional<Damage> damage = readRecord(records.emplace_back(), recordLine);
        // Only a lenient read gets here with bytes that are not code page 932: such a record is
        // whole, and reading goes on after it.
        const bool invalid = !damage && firstInvalid >= 0 && pos > firstInvalid &&
                             !decoder.decode(b + recordStart, pos - recordStart);
        if (!damage && !invalid)
            continue;
        if (!badLines)
            return Error{lineError(fileName, damage->line, damage->why)};
        records.removeLast();
        damaged.append(recordLine);
        if (invalid)
            continue;
        if (fieldBreak >= 0) {
            pos = fieldBreak;
            line = fieldBreakLine;
        } else {
            while (pos < n && !isLineEnd(b[pos]))
                ++pos;
            if (pos < n)
                skipLineEnd();
        }
    }
    if (badLines)
        *badLines = std::move(damaged);
    return records;
}

Status appendValue(QByteArray &out, const Value &value)
{
    if (value.keepsRaw()) {
        if (value.isText())
            out += '"' + value.raw() + '"';
        else
            out += value.raw();
        return {};
    }
    if (value.isNumber()) {
        if (const auto number = value.toNumber()) {
            out += formatNumber(*number).toLatin1();
            return {};
        }
    }
    const QString text = value.toText();
    if (text.contains(u'"'))
        return Error{QStringLiteral("%1 は付箋のデータファイルに保存できない文字です"
                                    "（欄の区切りに使われています）。")
                         .arg(cp932::describe(U'"'))};
    auto encoded = cp932::encode(text);
    if (!encoded)
        return Error{encoded.error()};
    if (value.isText())
        out += '"' + encoded.value() + '"';
    else
        out += encoded.value();
    return {};
}

Status appendNoteRecord(QByteArray &out, const NoteRecord &record)
{
    for (int f = 0; f < NoteRecord::FieldCount; ++f) {
        if (f > 0)
            out += ',';
        if (Status s = appendValue(out, record.field(f)); !s)
            return s;
    }
    out += "\r\n";
    return {};
}

} // namespace

Value &NoteRecord::field(int index)
{
    return const_cast<Value &>(static_cast<const NoteRecord *>(this)->field(index));
}

const Value &NoteRecord::field(int index) const
{
    switch (index) {
    case Text:
        return NoteText;
    case BackColor:
        return NoteBackColor;
    case FontName:
        return NoteFontName;
    case FontSize:
        return NoteFontSize;
    case Top:
        return NoteTop;
    case Left:
        return NoteLeft;
    case Width:
        return NoteWidth;
    case Height:
        return NoteHeight;
    case ForeColor:
        return NoteForeColor;
    default:
        return NoteId;
    }
}

bool NoteRecord::operator==(const NoteRecord &other) const
{
    for (int f = 0; f < FieldCount; ++f) {
        if (!(field(f) == other.field(f)))
            return false;
    }
    return true;
}

bool RunningEntry::operator==(const RunningEntry &other) const
{
    return RunningId == other.RunningId && RunningTaskId == other.RunningTaskId;
}

QString noteFieldLabel(int index)
{
    return QString::fromUtf16(NoteFieldLabels[qBound(0, index, NoteRecord::FieldCount - 1)]);
}

Result<QList<NoteRecord>> parseNoteRecords(const QByteArray &bytes, const QString &fileName)
{
    return parseRecords<NoteRecord, NoteRecord::FieldCount>(
        bytes, fileName, [](NoteRecord &r, int f) -> Value & { return r.field(f); },
        noteFieldNeedsNumber, noteFieldLabel);
}

NoteReadout parseNoteRecordsSkippingDamaged(const QByteArray &bytes, const QString &fileName)
{
    NoteReadout readout;
    auto records = parseRecords<NoteRecord, NoteRecord::FieldCount>(
        bytes, fileName, [](NoteRecord &r, int f) -> Value & { return r.field(f); },
        noteFieldNeedsNumber, noteFieldLabel, &readout.badLines);
    readout.records = std::move(records.value());
    return readout;
}

Result<QList<RunningEntry>> parseRunningEntries(const QByteArray &bytes, const QString &fileName)
{
    return parseRecords<RunningEntry, 2>(
        bytes, fileName,
        [](RunningEntry &e, int f) -> Value & { return f == 0 ? e.RunningId : e.RunningTaskId; },
        [](int f) { return f == 1; },
        [](int f) { return f == 0 ? QStringLiteral("付箋番号") : QStringLiteral("タスク番号"); });
}

Result<QByteArray> serializeNoteRecord(const NoteRecord &record)
{
    QByteArray out;
    if (Status s = appendNoteRecord(out, record); !s)
        return Error{s.error()};
    return out;
}

Result<QByteArray> serializeNoteRecords(const QList<NoteRecord> &records)
{
    QByteArray out;
    out.reserve(records.size() * 80);
    for (const NoteRecord &record : records) {
        if (Status s = appendNoteRecord(out, record); !s)
            return Error{s.error()};
    }
    return out;
}

Result<QByteArray> serializeRunningEntries(const QList<RunningEntry> &entries)
{
    QByteArray out;
    for (const RunningEntry &entry : entries) {
        if (Status s = appendValue(out, entry.RunningId); !s)
            return Error{s.error()};
        out += ',';
        if (Status s = appendValue(out, entry.RunningTaskId); !s)
            return Error{s.error()};
        out += "\r\n";
    }
    return out;
}

qsizetype textLength(const QByteArray &bytes)
{
    const qsizetype mark = bytes.indexOf('\x1A');
    return mark < 0 ? bytes.size() : mark;
}

int countLines(const QByteArray &bytes)
{
    int lines = 0;
    const qsizetype n = textLength(bytes);
    qsizetype pos = 0;
    while (pos < n) {
        const char c = bytes[pos];
        if (c == '\r') {
            ++lines;
            ++pos;
            if (pos < n && bytes[pos] == '\n')
                ++pos;
        } else if (c == '\n') {
            ++lines;
            ++pos;
        } else {
            pos = pos + 1;
            // Run to the line end; the last line counts even without one.
            while (pos < n && bytes[pos] != '\r' && bytes[pos] != '\n')
                ++pos;
            if (pos == n)
                ++lines;
        }
    }
    return lines;
}

} // namespace store
