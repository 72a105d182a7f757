#include "client/widgets/windowfonts.h"
#include "tests/widgets/controlfit.h"
#include "tests/widgets/windowgallery.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

class TestWindowsFit : public QObject {
    Q_OBJECT
private slots:
    void fontsTheWindowsWereDrawnForAreThere();
    void everyTextFitsItsControl();
    void clippedTextsAreFound();
};

// The platform must offer the named families themselves, not a wider stand-in chosen by
// fontconfig; otherwise the fit below would measure some other font.
void TestWindowsFit::fontsTheWindowsWereDrawnForAreThere() {
    for (const QString& family : {QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma")}) {
        QVERIFY2(QFontDatabase::hasFamily(family), qPrintable(family + " is not installed"));
        QCOMPARE(QFontInfo(QFont(family, 8)).family(), family);
    }
    // Arial, named by the transfer display, comes through fontconfig's metric alias.
    const QString arial = QFontInfo(QFont(QStringLiteral("Arial"), 10)).family();
    QVERIFY2(arial == QLatin1String("Arial") || arial == QLatin1String("Liberation Sans"),
             qPrintable(arial));
    QCOMPARE(QFontInfo(QApplication::font()).family(), QStringLiteral("MS Sans Serif"));
}

void TestWindowsFit::everyTextFitsItsControl() {
    WindowGallery gallery;
    QString error;
    QVERIFY2(gallery.open(&error), qPrintable(error));
    QStringList clipped;
    for (const WindowGallery::Window& window : gallery.windows()) {
        QVERIFY2(window.widget && window.widget->isVisible(), qPrintable(window.name));
        QVERIFY(QTest::qWaitForWindowExposed(window.widget));
        clipped += clippedControls(window.widget);
    }
    QVERIFY2(clipped.isEmpty(), qPrintable(QStringLiteral("\n") + clipped.join(QLatin1Char('\n'))));
}

// The check itself: each kind of control with a text too big for it is named.
void TestWindowsFit::clippedTextsAreFound() {
    QWidget window;
    window.setWindowTitle(QStringLiteral("Clipped"));
    window.resize(400, 300);
    auto* label = new QLabel(QStringLiteral("Time To Send:"), &window);
    label->setGeometry(10, 10, 30, 17);
    auto* wrapped =
        new QLabel(QStringLiteral("Note: several words that need three lines"), &window);
    wrapped->setWordWrap(true);
    wrapped->setGeometry(10, 40, 120, 20);
    auto* box = new QCheckBox(QStringLiteral("&Use LAN"), &window);
    box->setGeometry(10, 70, 40, 30);
    auto* field = new QLineEdit(QStringLiteral("STORE12"), &window);
    field->setGeometry(10, 110, 30, 19);
    auto* list = new QListWidget(&window);
    list->addItem(QStringLiteral("Receiving Mission Pack: night.zip"));
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setGeometry(10, 140, 60, 60);
    auto* fits = new QLabel(QStringLiteral("ID:"), &window);
    fits->setGeometry(200, 10, 100, 30);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QString found = clippedControls(&window).join(QLatin1Char('\n'));
    for (const QString& text : {QStringLiteral("\"Time To Send:\""), QStringLiteral("\"Note: "),
                                QStringLiteral("\"&Use LAN\""), QStringLiteral("\"STORE12\""),
                                QStringLiteral("\"Receiving Mission Pack")})
        QVERIFY2(found.contains(text), qPrintable(text + " not found in:\n" + found));
    QVERIFY2(!found.contains(QStringLiteral("\"ID:\"")), qPrintable(found));
}

// The fonts as every windowed program sets them at its start.
int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    WindowFonts::install();
    TestWindowsFit test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_windowsfit.moc"
