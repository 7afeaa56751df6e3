// Form2: the note the editor makes, new or edited.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "Form2.h"

#include "NoteText.h"
#include "platform/Colour.h"
#include "platform/Twips.h"
#include "store/NoteArgs.h"
#include "store/Value.h"

#include <QScreen>
#include <QTextEdit>

namespace master {

namespace {

// A value of the record from one of the editor's appearance variables, in the kind it holds.
store::Value recordValue(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString)
        return store::Value::text(v.toString());
    return store::Value::number(v.toDouble());
}

// An appearance variable from a value of the record, in the kind the record holds.
QVariant variableOf(const store::Value &v)
{
    if (v.isText())
        return v.toText();
    return v.toNumber().value_or(0);
}

QString decimalText(const QVariant &v)
{
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    return store::formatNumber(v.toDouble());
}

// The message as the user typed it, line breaks as "\n". The raw text keeps characters such as
// the no-break space that the plain-text form would silently replace.
QString typedText(const QTextEdit *edit)
{
    QString text = edit->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

// A record's message as the editor and the note window show it: every line break "\n".
QString shownText(const store::Value &message)
{
    QString text = message.toText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

} // namespace

store::NoteRecord Form2::newNote() const
{
    QString message = typedText(Text1);
    if (!m_opened && message.endsWith(QLatin1Char('\n')))
        message.chop(1);

    const QRectF outer = platform::outerGeometryTwips(this);
    store::NoteRecord note;
    std::tie(note.NoteWidth, note.NoteHeight) = noteSize(message);
    note.NoteText = store::Value::text(QString(message).replace(u'\n', QStringLiteral("\r\n")));
    note.NoteBackColor = store::Value::text(decimalText(IRO2));
    note.NoteFontName = store::Value::text(FNT2.toString());
    note.NoteFontSize = recordValue(FSIZE2);
    note.NoteTop = store::Value::single(outer.y());
    note.NoteLeft = store::Value::single(outer.x());
    note.NoteForeColor = recordValue(FIRO2);
    note.NoteId = store::Value::number(double(NewNoteId));
    if (m_opened) {
        note.NoteId = m_opened->note.NoteId;
        // A message left as it was keeps its bytes, a lone CR among them.
        if (message == shownText(m_opened->note.NoteText))
            note.NoteText = m_opened->note.NoteText;
    }
    return note;
}

std::pair<store::Value, store::Value> Form2::noteSize(const QString &message) const
{
    const QRectF outer = platform::outerGeometryTwips(this);
    auto width = store::Value::single(outer.width());
    auto height = store::Value::single(outer.height() - NoteHeightAllowance);
    // An edited note that the user did not size keeps the size of its record, which its window
    // may have shown otherwise (at least as large as can be seen, at most the desktop).
    if (m_opened && size() == m_openedSize) {
        width = m_opened->note.NoteWidth;
        height = m_opened->note.NoteHeight;
    }
    const double tpp = platform::twipsPerPixel(this);
    const double needed = neededNoteHeight(
        message, noteFont(FNT2.toString(), recordValue(FSIZE2).toNumber().value_or(0)),
        width.toNumber().value_or(outer.width()), tpp);
    const double screenHeight = platform::toTwips(screen()->geometry().height(), tpp);
    const double wanted = std::min(needed, screenHeight);
    if (wanted > height.toNumber().value_or(0))
        height = store::Value::single(wanted);
    return {width, height};
}

void Form2::beginEdit(const NoteAt &opened, const QRectF &outer)
{
    m_opened = opened;
    const store::NoteRecord &note = opened.note;
    // The appearance variables keep the kinds of the record, so that what the user leaves as it
    // was is written back as it was.
    IRO2 = variableOf(note.NoteBackColor);
    FNT2 = note.NoteFontName.toText();
    FSIZE2 = variableOf(note.NoteFontSize);
    FIRO2 = variableOf(note.NoteForeColor);
    NewNoteId = 0;

    // The look as the note's window takes it from its argument string.
    QStringList fields;
    for (int f = 0; f < store::NoteRecord::FieldCount; ++f)
        fields.append(note.field(f).toText());
    if (const auto look = store::convertNoteFields(fields))
        showLook(platform::colourFromRgbNumber(look->backColor),
                 platform::colourFromRgbNumber(look->foreColor), look->fontName, look->fontSize);
    Text1->setPlainText(shownText(note.NoteText));
    Text1->moveCursor(QTextCursor::End);

    platform::setOuterGeometryTwips(
        this, QRectF(outer.x(), outer.y(), outer.width(), outer.height() + NoteHeightAllowance));
    m_openedSize = size();
}

} // namespace master
