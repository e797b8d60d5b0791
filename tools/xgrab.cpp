// Saves a screenshot of the whole X screen to a PNG: orvelkit_xgrab FILE.
// Used under Xvfb to photograph Qt Designer with the orvelkit plug-in loaded.
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: orvelkit_xgrab FILE.png\n");
        return 2;
    }
    QScreen* screen = QGuiApplication::primaryScreen();
    const QPixmap shot = screen ? screen->grabWindow(0) : QPixmap();
    if (shot.isNull() || !shot.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "orvelkit_xgrab: could not grab the screen into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
