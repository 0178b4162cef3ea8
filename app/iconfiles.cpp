// Writes the program's icon as one PNG file a size into the folder named on the command line,
// for scripts/icons to pack into the Windows icon file.
#include "windowicon.h"

#include <QDir>
#include <QGuiApplication>

int main(int argc, char* argv[])
{
    QGuiApplication app(argc, argv);
    if (app.arguments().size() != 2)
        return 64;
    const QDir folder(app.arguments().at(1));
    for (const int size : programIconSizes) {
        if (!programIconImage(size).save(
                folder.filePath(QStringLiteral("varnolt-%1.png").arg(size))))
            return 1;
    }
    return 0;
}
