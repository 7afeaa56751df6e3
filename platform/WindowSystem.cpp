// The X11 platform, the places and sizes a window can be shown at, translations and fonts.
// SPDX-FileCopyrightText: 2026 The pinboa developers
// SPDX-License-Identifier: MIT
#include "WindowSystem.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QScreen>
#include <QStringList>
#include <QTranslator>
#include <QWidget>

#include <algorithm>
#include <cstdio>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace platform {

namespace {

// Whether an X server answers on DISPLAY: Qt's X11 platform ends the process when none does.
bool xDisplayReachable()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return false;
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const bool ok = connection && !xcb_connection_has_error(connection);
    if (connection)
        xcb_disconnect(connection);
    return ok;
}

} // namespace

bool chooseX11()
{
    const QString asked = qEnvironmentVariable("QT_QPA_PLATFORM");
    const bool wantsDesktop = asked.isEmpty() || asked.startsWith(QLatin1String("wayland")) ||
                              asked.startsWith(QLatin1String("xcb"));
    if (!wantsDesktop)
        return true;
    if (!xDisplayReachable())
        return false;
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}

int reportNoX11(const QString &title)
{
    const QString text =
        QStringLiteral("X11 の画面に接続できないため、起動できません。\n"
                       "付箋を決まった位置に置くため、X11 の画面で動きます"
                       "（Wayland のデスクトップでは、その X11 互換機能 Xwayland を使います）。\n"
                       "環境変数 DISPLAY に X11 の画面があるデスクトップで起動してください。");
    std::fprintf(stderr, "%s: %s\n", title.toLocal8Bit().constData(),
                 text.toLocal8Bit().constData());
    std::fflush(stderr);

    // A Wayland desktop without its X11 layer can still show the message. Were the Wayland
    // platform to fail after all, the offscreen one stands in and no dialog is shown.
    const QString wayland = QLibraryInfo::path(QLibraryInfo::PluginsPath) +
                            QStringLiteral("/platforms/libqwayland-generic.so");
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && QFileInfo::exists(wayland)) {
        qputenv("QT_QPA_PLATFORM", "wayland;offscreen");
        int argc = 1;
        char name[] = "pinboa";
        char *argv[] = {name, nullptr};
        QApplication app(argc, argv);
        if (QGuiApplication::platformName().startsWith(QLatin1String("wayland")))
            QMessageBox::critical(nullptr, title, text);
    }
    return 1;
}

namespace {

// Squared distance between two rectangles; 0 when they touch or overlap.
qint64 distance2(const QRect &a, const QRect &b)
{
    const qint64 dx =
        std::max<qint64>({0, qint64(b.left()) - a.right(), qint64(a.left()) - b.right()});
    const qint64 dy =
        std::max<qint64>({0, qint64(b.top()) - a.bottom(), qint64(a.top()) - b.bottom()});
    return dx * dx + dy * dy;
}

int clampInto(int start, int length, int areaStart, int areaLength)
{
    if (length >= areaLength)
        return areaStart;
    return std::clamp(start, areaStart, areaStart + areaLength - length);
}

} // namespace

QRect reachablePlace(const QRect &rect, const QList<QRect> &screens)
{
    const QRect *nearest = nullptr;
    qint64 best = 0;
    for (const QRect &screen : screens) {
        if (screen.intersects(rect))
            return rect; // partly visible: the user can still grab it
        const qint64 d = distance2(rect, screen);
        if (!nearest || d < best) {
            nearest = &screen;
            best = d;
        }
    }
    if (!nearest)
        return rect;
    return QRect(QPoint(clampInto(rect.x(), rect.width(), nearest->x(), nearest->width()),
                        clampInto(rect.y(), rect.height(), nearest->y(), nearest->height())),
                 rect.size());
}

QRect reachablePlace(const QRect &rect)
{
    QList<QRect> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens.append(screen->geometry());
    return reachablePlace(rect, screens);
}

QSize showableSize(const QSize &wanted, const QSize &desktop)
{
    const QSize most = desktop.expandedTo(MinimumShownSize);
    return QSize(std::clamp(wanted.width(), MinimumShownSize.width(), most.width()),
                 std::clamp(wanted.height(), MinimumShownSize.height(), most.height()));
}

QSize showableSize(const QSize &wanted)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const QSize desktop = screen ? screen->virtualGeometry().size() : QSize(32767, 32767);
    return showableSize(wanted, desktop);
}

bool installQtTranslation()
{
    auto *translator = new QTranslator(qApp);
    if (!translator->load(QStringLiteral("qtbase_ja"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

QString designFontName()
{
    return QStringLiteral("ＭＳ Ｐゴシック");
}

QFont designFont(double points)
{
    installFontSubstitutes();
    QFont font(designFontName());
    font.setPointSizeF(points);
    return font;
}

void installFontSubstitutes()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    // The proportional faces first stand in for the proportional Windows faces, the fixed ones
    // for the fixed ones: IPA's faces share their metrics closely enough that captions laid out
    // for those faces still fit their places.
    const QStringList pgothic = {QStringLiteral("IPAPGothic"), QStringLiteral("VL PGothic"),
                                 QStringLiteral("Noto Sans CJK JP"), QStringLiteral("IPAGothic")};
    const QStringList gothic = {QStringLiteral("IPAGothic"), QStringLiteral("VL Gothic"),
                                QStringLiteral("Noto Sans Mono CJK JP"),
                                QStringLiteral("Noto Sans CJK JP")};
    const QStringList pmincho = {QStringLiteral("IPAPMincho"), QStringLiteral("Noto Serif CJK JP"),
                                 QStringLiteral("IPAMincho")};
    const QStringList mincho = {QStringLiteral("IPAMincho"), QStringLiteral("Noto Serif CJK JP")};
    for (const char *face : {"ＭＳ Ｐゴシック", "MS PGothic", "MS UI Gothic", "メイリオ", "Meiryo",
                             "Meiryo UI", "游ゴシック", "Yu Gothic"})
        QFont::insertSubstitutions(QString::fromUtf8(face), pgothic);
    for (const char *face : {"ＭＳ ゴシック", "MS Gothic"})
        QFont::insertSubstitutions(QString::fromUtf8(face), gothic);
    for (const char *face : {"ＭＳ Ｐ明朝", "MS PMincho", "游明朝", "Yu Mincho"})
        QFont::insertSubstitutions(QString::fromUtf8(face), pmincho);
    for (const char *face : {"ＭＳ 明朝", "MS Mincho"})
        QFont::insertSubstitutions(QString::fromUtf8(face), mincho);
}

} // namespace platform
