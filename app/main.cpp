#include "app/converter_app.h"

int main(int argc, char** argv) {
    CConverterApp::prepareTermination();
    CConverterApp application;
    return application.run(argc, argv);
}
