// Stands in for the client after an update: records how it was started in started.txt beside
// itself (the argument count, then one argument a line) and ends.
#include <QCoreApplication>
#include <QDir>
#include <QFile>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QFile file(QDir(app.applicationDirPath()).filePath("started.txt"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return 1;
    QByteArray text = QByteArray::number(args.size()) + "\n";
    for (const QString& arg : args)
        text += arg.toUtf8() + "\n";
    text += "cwd " + QDir::currentPath().toUtf8() + "\n";
    file.write(text);
    return 0;
}
