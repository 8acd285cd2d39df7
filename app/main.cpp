#include "app/converter_app.h"

int main(int argc, char** argv) {
    if (const auto status = CConverterApp::answerWithoutWindow(argc, argv)) return *status;
    CConverterApp::prepareTermination();
    CConverterApp application;
    return application.run(argc, argv);
}
