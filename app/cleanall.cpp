#include "cleanall.h"

#include <QCoreApplication>

void CleanAll()
{
    QCoreApplication::quit();
}
