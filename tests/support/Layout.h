// What a window's layout holds at any DPI, whatever its design numbers. Header only: the unit
// tests link no widgets.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#pragma once

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>

namespace testsupport {

// The controls of `window` (buttons, labels, text and list boxes) that reach outside their
// parent, and so are cut off. Decorations such as separator lines may run to the edge.
inline QStringList controlsCutOff(const QWidget *window)
{
    QStringList cut;
    for (const QWidget *w : window->findChildren<QWidget *>()) {
        const bool control =
            qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLabel *>(w) ||
            qobject_cast<const QLineEdit *>(w) || qobject_cast<const QAbstractScrollArea *>(w);
        // Qt's own parts (a menu bar's overflow button) are placed by Qt when shown.
        if (!control || w->isWindow() || w->isHidden() ||
            w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        if (!w->parentWidget()->rect().contains(w->geometry()))
            cut << w->objectName();
    }
    return cut;
}

// The controls of `window` that take the keyboard focus and that a screen reader would announce
// without a name: a text or list box needs a name of its own, a button has its caption.
inline QStringList controlsWithoutName(QWidget *window)
{
    QStringList unnamed;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (w->isWindow() || w->isHidden() || !(w->focusPolicy() & Qt::TabFocus) ||
            w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
        if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
            unnamed << w->objectName();
    }
    return unnamed;
}

// The dialog of type T that a window opened: a window of its own, so found among the top-level
// widgets; nothing when there is none.
template <typename T> T *openedDialog()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<T *>(widget))
            return dialog;
    }
    return nullptr;
}

} // namespace testsupport
