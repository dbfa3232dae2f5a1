#pragma once

#include "app/Form1Layout.h"
#include "appearance/BackColor.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

/// A window laid out like the main window (its layout, in pixels at 96 dpi), with the same kinds
/// of controls and the white design colours, for tests of the appearance pieces on their own.
struct FormLikeWindow
{
    QWidget window;
    QPushButton* PushButton5 = button(&window, "PushButton5", Form1Layout::kPushButton5);
    QGroupBox* Frame1 = frame("Frame1", Form1Layout::kFrame1);
    QProgressBar* ProgressBar1 = new QProgressBar(Frame1);
    QGroupBox* Frame2 = frame("Frame2", Form1Layout::kFrame2);
    QLineEdit* Text2 = new QLineEdit(Frame2);
    QPushButton* PushButton1 = button(Frame2, "PushButton1", Form1Layout::kPushButton1);
    QPushButton* PushButton4 = button(Frame2, "PushButton4", Form1Layout::kPushButton4);
    QGroupBox* Frame3 = frame("Frame3", Form1Layout::kFrame3);
    QCheckBox* Check4 = new QCheckBox(QStringLiteral("Load this software on startup"), Frame3);
    QCheckBox* Check8 = new QCheckBox(QStringLiteral("Minimized to system tray"), Frame3);
    QTreeWidget* ListView1 = new QTreeWidget(&window);
    QPushButton* PushButton6 = button(&window, "PushButton6", Form1Layout::kPushButton6);
    QPushButton* PushButton3 = button(&window, "PushButton3", Form1Layout::kPushButton3);
    QPushButton* PushButton8 = button(&window, "PushButton8", Form1Layout::kPushButton8);
    QPushButton* PushButton11 = button(&window, "PushButton11", Form1Layout::kPushButton11);
    QPushButton* PushButton12 = button(&window, "PushButton12", Form1Layout::kPushButton12);

    FormLikeWindow()
    {
        window.setObjectName(QStringLiteral("Form1"));
        window.setFixedSize(Form1Layout::px(Form1Layout::kClientWidthTwips),
                            Form1Layout::px(Form1Layout::kClientHeightTwips));
        paintWhite(&window);
        ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
        ProgressBar1->setGeometry(pixels(Form1Layout::kProgressBar1));
        setWhite(ProgressBar1, {QPalette::Window, QPalette::Base});
        Text2->setObjectName(QStringLiteral("Text2"));
        Text2->setGeometry(pixels(Form1Layout::kText2));
        Check4->setObjectName(QStringLiteral("Check4"));
        Check4->setGeometry(pixels(Form1Layout::kCheck4));
        paintWhite(Check4);
        Check8->setObjectName(QStringLiteral("Check8"));
        Check8->setGeometry(pixels(Form1Layout::kCheck8));
        Check8->hide();
        paintWhite(Check8);
        ListView1->setObjectName(QStringLiteral("ListView1"));
        ListView1->setGeometry(pixels(Form1Layout::kListView1));
        ListView1->setHeaderLabels({QStringLiteral("Select Interval")});
        ListView1->addTopLevelItem(new QTreeWidgetItem({QStringLiteral("Beep every 1 second")}));
    }

    QList<QWidget*> pushButtons() const
    {
        return {PushButton5, PushButton1, PushButton4,  PushButton6,
                PushButton3, PushButton8, PushButton11, PushButton12};
    }

    static void setWhite(QWidget* widget, std::initializer_list<QPalette::ColorRole> roles)
    {
        QPalette palette = widget->palette();
        for (QPalette::ColorRole role : roles)
            palette.setColor(role, Qt::white);
        widget->setPalette(palette);
    }

  private:
    static QRect pixels(Form1Layout::Place place)
    {
        using Form1Layout::px;
        return {px(place.left), px(place.top), px(place.width), px(place.height)};
    }

    static void paintWhite(QWidget* widget) { setBackColor(widget, Qt::white); }

    QPushButton* button(QWidget* parent, const char* name, Form1Layout::Place place)
    {
        auto* result = new QPushButton(QString::fromLatin1(name), parent);
        result->setObjectName(QString::fromLatin1(name));
        result->setGeometry(pixels(place));
        setWhite(result, {QPalette::Button, QPalette::Window});
        return result;
    }

    QGroupBox* frame(const char* name, Form1Layout::Place place)
    {
        auto* result = new QGroupBox(QString::fromLatin1(name), &window);
        result->setObjectName(QString::fromLatin1(name));
        result->setGeometry(pixels(place));
        paintWhite(result);
        return result;
    }
};
