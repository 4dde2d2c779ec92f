// The main of the window's test programs: the settings the pane remembers go
// to a scratch folder of the program's own, not the user's, so that nothing
// saved on the machine changes a result.
#include <gtest/gtest.h>

#include <QApplication>

#include <filesystem>
#include <string>

int main(int argc, char** argv) {
    const std::string program = std::filesystem::path(argv[0]).filename().string();
    const auto config = std::filesystem::temp_directory_path() / ("korvex_" + program + "_config");
    std::filesystem::remove_all(config);
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(config.string()));
    QApplication app(argc, argv);
    QApplication::setApplicationName("korvex");
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
