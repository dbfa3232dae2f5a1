#pragma once

#include <QString>

class QWidget;
struct Platform;

/// The open-file dialog of "Change Beep Sound File": a file name, a title and a filter in the
/// "description|pattern|" form, shown through the platform's file dialog.
struct SoundFileDialog
{
    inline static const QString kTitle =
        QStringLiteral("Add File(s) - Hold Ctrl to select multiple files");
    inline static const QString kFilter = QStringLiteral("WAV Files (*.wav)|*.wav|");

    QString FileName;
    QString DialogTitle;
    QString Filter;

    /// Shows the dialog; FileName is the chosen path afterwards, or empty when cancelled.
    void ShowOpen(QWidget* parent, Platform& platform);

    /// @p filter ("description|pattern|description|pattern|") as Qt name filters
    /// ("description (pattern);;..."); a description that already names its pattern in
    /// parentheses is used as it stands.
    static QString nameFilters(const QString& filter);
};
