#include "SkinFuzzTargets.h"

#include <QApplication>

#include <cstdlib>
#include <fstream>
#include <memory>

#include "support/TempDir.h"
#include "ui/kit/LanguageFile.h"
#include "ui/kit/LayoutParser.h"
#include "ui/kit/List.h"
#include "ui/kit/Skin.h"
#include "ui/kit/SkinWindow.h"

namespace halvern::fuzz {

namespace {

// libFuzzer's main has no application object; make one that needs no display.
void EnsureApplication() {
    if (QCoreApplication::instance()) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "fuzz";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

class FuzzWindow final : public kit::SkinWindow {
public:
    using kit::SkinWindow::SkinWindow;
    QString windowClassName() const override { return QStringLiteral("FuzzWindow"); }
    QString skinFile() const override { return QStringLiteral("fuzz.xml"); }
};

const test::TempDir& Folder() {
    static test::TempDir dir;
    return dir;
}

}  // namespace

void LayoutInput(const std::uint8_t* data, std::size_t size) {
    EnsureApplication();
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    auto parsed = kit::LayoutParser::Parse(xml, QStringLiteral("fuzz.xml"));
    if (!std::holds_alternative<kit::LayoutNode>(parsed)) {
        if (std::get<kit::LayoutError>(parsed).message.isEmpty()) std::abort();
        return;
    }
    std::ofstream(Folder() / "fuzz.xml", std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    kit::Skin skin(QString::fromStdString(Folder().path().string()));
    FuzzWindow window(skin);
    window.create(kit::WindowKind::Dialog);
    window.retranslate();
    // The same file as a list row of a list of its own.
    FuzzWindow host(skin);
    host.create(kit::WindowKind::Dialog);
    kit::List list;
    list.attach(&host, &skin, QStringLiteral("List"), QStringLiteral("l"), QString());
    list.addLayoutRow(QStringLiteral("fuzz.xml"), 30);
    list.removeAll();
}

void LanguageFileInput(const std::uint8_t* data, std::size_t size) {
    kit::LanguageFile lan;
    if (lan.load("<Language><Text key='kept'>K</Text></Language>", QStringLiteral("seed.xml"))) std::abort();
    const QByteArray xml(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (lan.load(xml, QStringLiteral("lan.xml"))) {
        if (lan.text(QStringLiteral("kept")) != QStringLiteral("K")) std::abort();
    }
}

}  // namespace halvern::fuzz
