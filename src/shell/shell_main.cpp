// The window program: the application object on a Qt event loop.
#include <QApplication>
#include <QElapsedTimer>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/desktop_launcher.h"
#include "platform/xdg.h"
#include "remotefs/image_decoder.h"
#include "shell/terrapane_app.h"
#include "ui/main_frame.h"
#include "ui/terrapane_view.h"
#include "widgets/icons.h"
#include "widgets/qimage_decoder.h"
#include "widgets/translations.h"

namespace {

// NIMBEXSHELL_SCREENSHOT=FILE: once the node states of the first pass are in (or after half a
// minute at most), the main window is saved as a picture and the program ends. With
// NIMBEXSHELL_SCREENSHOT_ADDRESS=TITLE:PATH that address is opened first, and with
// NIMBEXSHELL_SCREENSHOT_COMMAND=N the view runs that command (a view style) before the picture
// is taken. For looking at the window in each language without a desktop.
void ScheduleScreenshot(CTerraPaneApp& app, const QString& file) {
    auto* timer = new QTimer(&app);
    auto clock = std::make_shared<QElapsedTimer>();
    auto opened = std::make_shared<qint64>(-1);  // when the address was opened
    clock->start();
    QObject::connect(timer, &QTimer::timeout, &app, [&app, file, timer, clock, opened] {
        const bool settled = !app.IsNodeStatePassRunning() && clock->elapsed() > 1500;
        if (!settled && clock->elapsed() < 30000) {
            return;
        }
        CMainFrame* frame = app.MainWindow();
        const char* address = std::getenv("NIMBEXSHELL_SCREENSHOT_ADDRESS");
        if (frame != nullptr && address != nullptr && *address && *opened < 0) {
            *opened = clock->elapsed();
            frame->AddressBar()->SetEditText(QString::fromUtf8(address));
            frame->OnAddressEntered();
            if (const char* command = std::getenv("NIMBEXSHELL_SCREENSHOT_COMMAND")) {
                frame->View()->OnCommand(std::atoi(command));
            }
            return;
        }
        // Thumbnails arrive after the listing.
        if (*opened >= 0 && frame != nullptr && clock->elapsed() - *opened < 3000) {
            return;
        }
        timer->stop();
        const bool saved = frame != nullptr && frame->grab().save(file);
        std::fprintf(stderr, "nimbexshell: screenshot %s %s\n", qPrintable(file),
                     saved ? "saved" : "could not be saved");
        app.OnAppExit();
    });
    timer->start(100);
}

}  // namespace

int main(int argc, char** argv) {
    nbx::InstallDesktopLauncher();
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(nbx::xdg::kAppName);
    QApplication::setDesktopFileName(nbx::xdg::kAppName);
    QApplication::setWindowIcon(nbx::ui::ResourceIcon(128));
    // The program ends with its last explorer frame (the opened-files window does not keep it).
    QApplication::setQuitOnLastWindowClosed(false);
    nbx::ui::InstallTranslations(qapp);

    static CQImageDecoder decoder;
    SetImageDecoder(&decoder);

    int code = 0;
    {
        CTerraPaneApp app;
        if (app.InitInstance()) {
            if (const char* shot = std::getenv("NIMBEXSHELL_SCREENSHOT"); shot && *shot) {
                ScheduleScreenshot(app, QString::fromLocal8Bit(shot));
            }
            code = QApplication::exec();
        } else {
            code = 1;
        }
        const int exitCode = app.ExitInstance();
        code = code != 0 ? code : exitCode;
    }
    SetImageDecoder(nullptr);
    return code;
}
