#pragma once

#include <QString>
#include <stdexcept>

/// A failure of an operation, carrying the description that the error report shows.
/// Layers over Qt and the system throw it where the platform reports a status.
class Failure : public std::runtime_error
{
  public:
    explicit Failure(const QString& description)
        : std::runtime_error(description.toStdString()), m_description(description)
    {
    }

    const QString& description() const { return m_description; }

  private:
    QString m_description;
};
