#include "app/Application.h"

int main(int argc, char** argv) { return halvern::Application::Run(argc, argv); }
