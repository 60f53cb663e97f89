// SPDX-License-Identifier: MIT
// form1's layout, fonts, pictures, tab order and menus against the window's design table.
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <cmath>

#include "app/form1.h"
#include "support/tempfolder.h"

namespace {

int pixels(int twips, int dpi) {
    return static_cast<int>(std::lround(twips * dpi / 1440.0));
}

}  // namespace

class Form1LayoutTest : public QObject {
    Q_OBJECT

 private Q_SLOTS:
    void init() { m_window = std::make_unique<app::form1>(state::StateFiles(m_dir.path())); }

    void cleanup() {
        m_window.reset();
        QVERIFY(QApplication::topLevelWidgets().isEmpty());
    }

    // Each control: where it sits (in twips), its caption, its font and its picture size.
    void controlsMatchTheDesign_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("twips");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("family");
        QTest::addColumn<qreal>("points");
        QTest::addColumn<int>("picture");
        const struct {
            const char* name;
            QRect twips;
            const char* caption;
            const char* family;
            qreal points;
            int picture;
        } rows[] = {
            {"Command5", {120, 0, 1210, 975}, "Add Folder", "Arial", 9.6, 48},
            {"Command1", {1440, 0, 1210, 975}, "Add Word", "Arial", 9.6, 48},
            {"Command2", {2760, 0, 1330, 975}, "Remove File", "Arial", 9.6, 32},
            {"Command6", {5520, 0, 1090, 975}, "Convert", "Arial", 9.6, 48},
            {"Command8", {6720, 0, 970, 975}, "Help", "Arial", 9.6, 32},
            {"Command7", {7800, 0, 1090, 975}, "HomePage", "Arial", 9.6, 48},
            {"Command9", {9000, 0, 970, 975}, "Exit", "Arial", 9.6, 32},
            {"ListView1", {120, 1080, 5175, 4935}, "", "Arial", 8.4, 0},
            {"ListView2", {5880, 1080, 4095, 4935}, "", "Arial", 8.4, 0},
            {"Command3", {5400, 2160, 370, 610}, "", "MS Sans Serif", 7.8, 16},
            {"Command4", {5400, 3000, 370, 610}, "", "MS Sans Serif", 7.8, 16},
            {"ProgressBar1", {120, 6480, 9975, 255}, "", "Arial", 8.4, 0},
            {"Command11", {9120, 6120, 855, 325}, "View", "Arial", 8.4, 0},
            {"Command10", {8040, 6120, 975, 325}, "Browse", "Arial", 9, 0},
            {"Combo2", {2160, 6120, 5775, 330}, "", "Arial", 8.4, 0},
            {"Label1", {120, 6120, 1935, 255}, "Select  output directory:", "Arial", 9, 0},
        };
        for (const auto& row : rows) {
            QTest::newRow(row.name)
                << QString::fromLatin1(row.name) << row.twips << QString::fromLatin1(row.caption)
                << QString::fromLatin1(row.family) << row.points << row.picture;
        }
    }

    void controlsMatchTheDesign() {
        QFETCH(QString, name);
        QFETCH(QRect, twips);
        QFETCH(QString, caption);
        QFETCH(QString, family);
        QFETCH(qreal, points);
        QFETCH(int, picture);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        auto* control = m_window->findChild<QWidget*>(name);
        QVERIFY(control != nullptr);
        QCOMPARE(control->parentWidget(), m_window->centralWidget());
        const int dpiX = m_window->logicalDpiX();
        const int dpiY = m_window->logicalDpiY();
        QCOMPARE(control->geometry(),
                 QRect(pixels(twips.x(), dpiX), pixels(twips.y(), dpiY),
                       pixels(twips.width(), dpiX), pixels(twips.height(), dpiY)));

        if (!qobject_cast<QProgressBar*>(control)) {
            QCOMPARE(control->property("text").toString(), caption);
        }
        QCOMPARE(control->font().family(), family);
        QCOMPARE(control->font().pointSizeF(), points);
        QCOMPARE(control->font().weight(), QFont::Normal);
        // Where the family itself is missing its texts must still get Arial's widths.
        const QString resolved = QFontInfo(control->font()).family();
        QVERIFY2(resolved == family || resolved == QLatin1String("Liberation Sans"),
                 qPrintable(resolved));

        if (auto* button = qobject_cast<QToolButton*>(control)) {
            QCOMPARE(button->iconSize(), QSize(picture, picture));
            QVERIFY(button->icon().availableSizes().contains(QSize(picture, picture)));
            QCOMPARE(button->toolButtonStyle(),
                     caption.isEmpty() ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon);
        }
    }

    void windowHasAFixedClientAreaBelowTheMenuBar() {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QSize client(pixels(10164, m_window->logicalDpiX()),
                           pixels(6780, m_window->logicalDpiY()));
        QCOMPARE(m_window->centralWidget()->size(), client);
        QCOMPARE(m_window->centralWidget()->y(), m_window->menuBar()->geometry().bottom() + 1);
        QCOMPARE(m_window->size(),
                 QSize(client.width(), client.height() + m_window->menuBar()->height()));
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize());

        const Qt::WindowFlags flags = m_window->windowFlags();
        QVERIFY(!(flags & Qt::WindowMinimizeButtonHint));
        QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
        QVERIFY(flags & Qt::WindowCloseButtonHint);
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Pavendel"));
        QVERIFY(m_window->windowIcon().availableSizes().contains(QSize(48, 48)));
    }

    void imageListHoldsThreeDistinctSmallPictures() {
        const app::ImageList& images = m_window->ImageList1;
        QCOMPARE(images.count(), 3);
        QCOMPARE(images.imageSize(), QSize(16, 16));
        QList<QImage> drawn;
        for (int index = 1; index <= 3; ++index) {
            const QImage image = images.image(index).pixmap(16, 16).toImage();
            QCOMPARE(image.size(), QSize(16, 16));
            QVERIFY(!drawn.contains(image));
            drawn.append(image);
        }
        QCOMPARE(m_window->ListView1->iconSize(), QSize(16, 16));
    }

    void listViewsHaveTheirSingleColumns_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("header");
        QTest::addColumn<int>("widthTwips");
        QTest::addColumn<bool>("checkBoxes");
        QTest::newRow("ListView1")
            << QStringLiteral("ListView1")
            << QStringLiteral("Please Select the Word File or Folder to Convert") << 4800 << false;
        QTest::newRow("ListView2")
            << QStringLiteral("ListView2") << QStringLiteral("Word Document") << 3700 << true;
    }

    void listViewsHaveTheirSingleColumns() {
        QFETCH(QString, name);
        QFETCH(QString, header);
        QFETCH(int, widthTwips);
        QFETCH(bool, checkBoxes);
        auto* list = m_window->findChild<QTreeWidget*>(name);
        QVERIFY(list != nullptr);
        QCOMPARE(list->columnCount(), 1);
        QCOMPARE(list->headerItem()->text(0), header);
        QCOMPARE(list->columnWidth(0), pixels(widthTwips, m_window->logicalDpiX()));
        QCOMPARE(list->headerItem()->textAlignment(0) & Qt::AlignHorizontal_Mask,
                 int(Qt::AlignLeft));

        core::ListView& adapter = name == QLatin1String("ListView1")
                                      ? m_window->controls().ListView1
                                      : m_window->controls().ListView2;
        adapter.append("entry");
        QTreeWidgetItem* item = list->topLevelItem(0);
        QCOMPARE(item->flags().testFlag(Qt::ItemIsUserCheckable), checkBoxes);
        QCOMPARE(item->data(0, Qt::CheckStateRole).isValid(), checkBoxes);
    }

    void tabOrderFollowsTheTableFromAddFolder() {
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
        QCOMPARE(QApplication::focusWidget(), m_window->Command5);

        const QStringList expected = {
            QStringLiteral("Command1"),  QStringLiteral("Command2"),  QStringLiteral("Command6"),
            QStringLiteral("Command8"),  QStringLiteral("Command7"),  QStringLiteral("Command9"),
            QStringLiteral("ListView1"), QStringLiteral("ListView2"), QStringLiteral("Command3"),
            QStringLiteral("Command4"),  QStringLiteral("Command11"), QStringLiteral("Command10"),
            QStringLiteral("Combo2"),    QStringLiteral("Command5"),
        };
        QStringList visited;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget* focus = QApplication::focusWidget();
            // The combo box's edit field takes the focus on the combo box's behalf.
            while (focus != nullptr && focus->objectName().isEmpty()) {
                focus = focus->parentWidget();
            }
            visited << (focus != nullptr ? focus->objectName() : QString());
        }
        QCOMPARE(visited, expected);
    }

    // Each top-level entry as "caption (name): item (name), ...", with nothing but plain
    // entries: no separators, check marks, shortcuts or access letters.
    void menusHaveTheirCaptionsAndNamesOnly() {
        const QStringList expected = {
            QStringLiteral("File (EE): Add Folder (AddFolder), Add Word (AddExcel)"),
            QStringLiteral("Edit (FF): Remove Item (RemoveItem), Remove All Items (RemoveAll), "
                           "Remove Current Output Directory (Removeoutput), "
                           "Remove All Output Directory (RemoveAllOutput)"),
            QStringLiteral("Actions (Actions): Convert (Separate)"),
            QStringLiteral("Settings (Settings)"),
            QStringLiteral("Help (Help): Help (Help1), HomePage (HomePage), About (About)"),
        };
        const auto describe = [](const QAction* action) {
            const bool plain = !action->isSeparator() && !action->isCheckable() &&
                               action->shortcut().isEmpty() &&
                               !action->text().contains(QLatin1Char('&'));
            return QStringLiteral("%1 (%2)%3")
                .arg(action->text(), action->objectName(),
                     plain ? QString() : QStringLiteral(" NOT PLAIN"));
        };
        QStringList actual;
        for (const QAction* top : m_window->menuBar()->actions()) {
            QString entry = describe(top);
            if (top->menu() != nullptr) {
                QCOMPARE(top->menu()->objectName(), top->objectName());
                QStringList items;
                for (const QAction* item : top->menu()->actions()) {
                    items << describe(item);
                }
                entry += QStringLiteral(": ") + items.join(QStringLiteral(", "));
            }
            actual << entry;
        }
        QCOMPARE(actual, expected);
    }

 private:
    testsupport::TempFolder m_dir;
    std::unique_ptr<app::form1> m_window;
};

QTEST_MAIN(Form1LayoutTest)
#include "form1_layout_test.moc"
