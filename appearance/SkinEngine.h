#pragma once

#include <QString>
#include <QtGlobal>

class QWidget;

/// The skin engine of the main window (`SkinFramework1`): it loads a skin file and then draws a
/// window in the skin's style. These are the members start-up uses, in the order it uses them;
/// the engine's interface knows them by the member ids given below.
///
/// Implementations: StyleSheetSkin (the skin file is a Qt style sheet) and, in the tests, a
/// recording engine.
class SkinEngine
{
  public:
    virtual ~SkinEngine() = default;

    /// Member 2: loads the skin from the file at @p path. @p iniName selects a variant inside the
    /// file; start-up passes an empty text (the file's only or first variant).
    /// @throws Failure whose description says why the file cannot be used.
    virtual void LoadSkin(const QString& path, const QString& iniName) = 0;

    /// Member 1: the engine's 32-bit option mask.
    virtual qint32 options() const = 0;
    /// Member 1, written: replaces the option mask.
    virtual void setOptions(qint32 mask) = 0;

    /// Member 5: boolean engine option A.
    virtual void setFlagA(bool on) = 0;
    /// Member 10: boolean engine option B.
    virtual void setFlagB(bool on) = 0;

    /// Member 3: draws @p window, and every control on it, in the loaded skin's style.
    /// @throws Failure when no skin is loaded or the window cannot take it.
    virtual void ApplyWindow(QWidget* window) = 0;

  protected:
    SkinEngine() = default;
    SkinEngine(const SkinEngine&) = default;
    SkinEngine& operator=(const SkinEngine&) = default;
};
