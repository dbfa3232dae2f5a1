#pragma once

#include "appearance/SkinEngine.h"

/// The skin engine of Pingora: a skin file is a Qt style sheet (UTF-8 text, at most 1 MiB),
/// and applying it sets that sheet on the main window, so it restyles the window, every
/// control on it and the dialogs it opens.
///
/// The option mask and the two boolean options have no effect on a style sheet: the engine
/// keeps the values it is given and reports them back, so callers and tests can see what was
/// set. The variant name of LoadSkin is ignored too, because a style sheet has no variants.
class StyleSheetSkin final : public SkinEngine
{
  public:
    /// Reads and checks the style sheet at @p path (see readSkinFile() and styleSheetParses()).
    /// On failure the skin loaded before, if any, stays loaded.
    /// @throws Failure naming the file and the reason it cannot be used.
    void LoadSkin(const QString& path, const QString& iniName) override;

    qint32 options() const override { return m_options; }
    void setOptions(qint32 mask) override { m_options = mask; }
    void setFlagA(bool on) override { m_flagA = on; }
    void setFlagB(bool on) override { m_flagB = on; }
    /// The value last given to setFlagA(); false at first.
    bool flagA() const { return m_flagA; }
    /// The value last given to setFlagB(); false at first.
    bool flagB() const { return m_flagB; }

    /// Sets the loaded style sheet on @p window, in place of any sheet it had.
    /// @throws Failure when no skin has been loaded or @p window is null.
    void ApplyWindow(QWidget* window) override;

    /// The loaded style sheet; empty until LoadSkin() succeeds.
    const QString& styleSheet() const { return m_styleSheet; }

  private:
    QString m_styleSheet;
    qint32 m_options = 0;
    bool m_flagA = false;
    bool m_flagB = false;
};
