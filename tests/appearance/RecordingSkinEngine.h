#pragma once

#include "appearance/SkinEngine.h"
#include "core/Failure.h"

#include <QStringList>
#include <QWidget>

#include <functional>

/// A skin engine that writes down every call it receives, and can fail at a chosen one.
class RecordingSkinEngine final : public SkinEngine
{
  public:
    /// Every call in order, e.g. "LoadSkin(/p/x/o.cjs,)", "options", "setOptions(0x41)".
    QStringList calls;
    /// The option mask the engine starts with and reports.
    qint32 mask = 0x40;
    /// The name of the call that throws a Failure ("LoadSkin", "ApplyWindow", ...), if any.
    QString failAt;
    /// Runs at each call, before it is recorded, to look at the world the engine sees.
    std::function<void(const QString& call)> onCall;

    void LoadSkin(const QString& path, const QString& iniName) override
    {
        record(QStringLiteral("LoadSkin"), path + u',' + iniName);
    }
    qint32 options() const override
    {
        const_cast<RecordingSkinEngine*>(this)->record(QStringLiteral("options"));
        return mask;
    }
    void setOptions(qint32 newMask) override
    {
        record(QStringLiteral("setOptions"), QStringLiteral("0x%1").arg(newMask, 0, 16));
        mask = newMask;
    }
    void setFlagA(bool on) override { record(QStringLiteral("setFlagA"), boolText(on)); }
    void setFlagB(bool on) override { record(QStringLiteral("setFlagB"), boolText(on)); }
    void ApplyWindow(QWidget* window) override
    {
        record(QStringLiteral("ApplyWindow"), window ? window->objectName() : QStringLiteral("0"));
    }

  private:
    static QString boolText(bool on)
    {
        return on ? QStringLiteral("true") : QStringLiteral("false");
    }

    void record(const QString& name, const QString& arguments = {})
    {
        if (onCall)
            onCall(name);
        calls << (arguments.isNull() ? name : name + u'(' + arguments + u')');
        if (name == failAt)
            throw Failure(QStringLiteral("engine failed at ") + name);
    }
};
