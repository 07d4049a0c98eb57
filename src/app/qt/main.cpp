#include "MainApp.h"

int main(int argc, char* argv[]) {
    keltrove::CMainApp app(argc, argv);
    return app.Run();
}
