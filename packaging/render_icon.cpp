// kl_render_icon OUTDIR SIZE...: writes the program's icon, drawn by the same
// code as the windows' icon, as OUTDIR/hicolor/<n>x<n>/apps/kl_s.png for each
// size, the layout of the desktop's icon theme.
#include "services/app_icon.h"

#include <QDir>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 3) {
        std::fputs("usage: kl_render_icon OUTDIR SIZE...\n", stderr);
        return 2;
    }
    for (qsizetype i = 2; i < arguments.size(); ++i) {
        bool ok = false;
        const int size = arguments[i].toInt(&ok);
        if (!ok || size <= 0) {
            std::fprintf(stderr, "kl_render_icon: bad size %s\n", qPrintable(arguments[i]));
            return 2;
        }
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(arguments[1]).arg(size);
        if (!QDir().mkpath(folder) || !applicationIconPixmap(size).save(folder + "/kl_s.png", "PNG")) {
            std::fprintf(stderr, "kl_render_icon: cannot write %s/kl_s.png\n", qPrintable(folder));
            return 1;
        }
    }
    return 0;
}
