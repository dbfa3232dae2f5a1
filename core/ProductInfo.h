#pragma once

#include <QString>

/// Names and addresses of the product, each written once.
namespace ProductInfo {

/// Window caption, tray tooltip, balloon title, settings section, source of the history file name.
inline const QString kProductName = QStringLiteral("Pingora");
/// Application name under which the settings are kept.
inline const QString kSettingsApplication = QStringLiteral("Wrenfield");
/// Stable desktop identity: desktop entry, icon theme name, metainfo.
inline const QString kAppId = QStringLiteral("com.example.pingora");

inline const QString kHomePage = QStringLiteral("https://www.example.com/pingora");
inline const QString kContactPage = QStringLiteral("https://www.example.com/pingora/contact");
inline const QString kSupportEmail = QStringLiteral("support@example.com");

} // namespace ProductInfo
