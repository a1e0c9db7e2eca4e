// The floor for Tavi's start-up: a bare Qt Widgets program that shows a tree
// view with a few rows and says so on standard output once the view has been
// painted, in Tavi's words under --verbose; it then waits to be ended, so
// that its resident memory can be read. Built with the same compiler and flags.

#include <QApplication>
#include <QStandardItemModel>
#include <QTimer>
#include <QTreeView>

#include <cstdio>

namespace {

class View : public QTreeView {
protected:
    void paintEvent(QPaintEvent* event) override
    {
        QTreeView::paintEvent(event);
        if (said)
            return;
        said = true;
        // Said after the paint has reached the window, as Tavi does.
        QTimer::singleShot(0, this, [this] {
            std::printf("Window filled (%d rows)\nSearch forms made\n", model()->rowCount());
            std::fflush(stdout);
        });
    }

private:
    bool said = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QStandardItemModel model(40, 3);
    for (int row = 0; row < model.rowCount(); ++row)
        for (int column = 0; column < model.columnCount(); ++column)
            model.setItem(row, column, new QStandardItem(QString::number(row * 3 + column)));
    View view;
    view.setModel(&model);
    view.resize(640, 480);
    view.show();
    return app.exec();
}
