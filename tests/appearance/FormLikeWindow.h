#pragma once

#include "appearance/BackColor.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QWidget>

/// A window laid out like the main window (positions in pixels at 96 dpi), with the same kinds
/// of controls and the white design colours, for tests of the appearance pieces on their own.
struct FormLikeWindow
{
    QWidget window;
    QPushButton* PushButton5 = button(&window, "PushButton5", {8, 8, 520, 27});
    QGroupBox* Frame1 = frame("Frame1", {8, 40, 520, 57});
    QProgressBar* ProgressBar1 = new QProgressBar(Frame1);
    QGroupBox* Frame2 = frame("Frame2", {8, 102, 520, 89});
    QLineEdit* Text2 = new QLineEdit(Frame2);
    QPushButton* PushButton1 = button(Frame2, "PushButton1", {16, 50, 240, 27});
    QPushButton* PushButton4 = button(Frame2, "PushButton4", {264, 50, 240, 27});
    QGroupBox* Frame3 = frame("Frame3", {8, 196, 520, 49});
    QCheckBox* Check4 = new QCheckBox(QStringLiteral("Load this software on startup"), Frame3);
    QCheckBox* Check8 = new QCheckBox(QStringLiteral("Minimized to system tray"), Frame3);
    QTreeWidget* ListView1 = new QTreeWidget(&window);
    QPushButton* PushButton6 = button(&window, "PushButton6", {8, 428, 520, 27});
    QPushButton* PushButton3 = button(&window, "PushButton3", {8, 462, 256, 27});
    QPushButton* PushButton8 = button(&window, "PushButton8", {272, 462, 256, 27});
    QPushButton* PushButton11 = button(&window, "PushButton11", {8, 496, 256, 27});
    QPushButton* PushButton12 = button(&window, "PushButton12", {272, 496, 256, 27});

    FormLikeWindow()
    {
        window.setObjectName(QStringLiteral("Form1"));
        window.setFixedSize(536, 530);
        paintWhite(&window);
        ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
        ProgressBar1->setGeometry(16, 20, 487, 27);
        setWhite(ProgressBar1, {QPalette::Window, QPalette::Base});
        Text2->setObjectName(QStringLiteral("Text2"));
        Text2->setGeometry(16, 20, 489, 23);
        Check4->setObjectName(QStringLiteral("Check4"));
        Check4->setGeometry(16, 20, 262, 19);
        paintWhite(Check4);
        Check8->setObjectName(QStringLiteral("Check8"));
        Check8->setGeometry(288, 20, 172, 19);
        Check8->hide();
        paintWhite(Check8);
        ListView1->setObjectName(QStringLiteral("ListView1"));
        ListView1->setGeometry(8, 253, 520, 169);
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
    static void paintWhite(QWidget* widget) { setBackColor(widget, Qt::white); }

    QPushButton* button(QWidget* parent, const char* name, QRect geometry)
    {
        auto* result = new QPushButton(QString::fromLatin1(name), parent);
        result->setObjectName(QString::fromLatin1(name));
        result->setGeometry(geometry);
        setWhite(result, {QPalette::Button, QPalette::Window});
        return result;
    }

    QGroupBox* frame(const char* name, QRect geometry)
    {
        auto* result = new QGroupBox(QString::fromLatin1(name), &window);
        result->setObjectName(QString::fromLatin1(name));
        result->setGeometry(geometry);
        paintWhite(result);
        return result;
    }
};
