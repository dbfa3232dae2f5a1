#include "app/Form1.h"
#include "app/ProductInfo.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("pingora"));
    QApplication::setDesktopFileName(ProductInfo::kAppId);

    Form1 form(Platform::real(), SettingsStore::forUser());
    form.Form_Load();
    form.showAsLoaded();
    return QApplication::exec();
}
