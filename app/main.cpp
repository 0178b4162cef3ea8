#include "app/form1.h"
#include "app/qttranslations.h"
#include "web/httpclient.h"
#include "web/serviceroots.h"

#include <QApplication>
#include <QLocale>

#include <cstdio>

int main(int argc, char* argv[])
{
    // Checked before any window exists: a mistyped root should not open a window that fails
    // on the first press.
    QString problem;
    const std::optional<ServiceRoots> roots = serviceRootsFromEnvironment(&problem);
    if (!roots) {
        std::fprintf(stderr, "varnolt: %s\n", qPrintable(problem));
        return 2;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varnolt"));
    QApplication::setApplicationVersion(QStringLiteral(VARNOLT_VERSION));
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    loadQtTranslations();

    HttpClient network;
    Form1 window(network, QCoreApplication::applicationDirPath(), *roots);
    window.show();
    return app.exec();
}
