// bench/run's window measure: starts the explorer window offscreen on the node list of the
// current XDG home, opens TITLE at PATH in its folder view, prints the number of rows and ends.
// Usage: nbx_bench_folder_view TITLE PATH

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "shell/terrapane_app.h"
#include "ui/main_frame.h"
#include "ui/terrapane_view.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: nbx_bench_folder_view TITLE PATH\n");
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qapp(argc, argv);
    int rows = -1;
    {
        CTerraPaneApp app;
        if (app.InitInstance() && app.MainWindow() != nullptr) {
            CTerraPaneView* view = app.MainWindow()->View();
            if (view->OpenNode(argv[1], argv[2])) {
                rows = view->RowCount();
            }
        }
        app.ExitInstance();
    }
    if (rows < 0) {
        std::fprintf(stderr, "nbx_bench_folder_view: %s:%s could not be listed\n", argv[1],
                     argv[2]);
        return 1;
    }
    std::printf("%d\n", rows);
    return 0;
}
