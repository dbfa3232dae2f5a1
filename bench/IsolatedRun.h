#pragma once

#include <map>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

/// One run of a program under test, in private folders: its own settings folder
/// (XDG_CONFIG_HOME, holding the settings given) and temporary folder (TEMP, where the
/// history log goes), removed afterwards.
class IsolatedRun
{
  public:
    /// Settings of the [Pingora] section, key to value.
    using Settings = std::map<std::string, std::string>;

    /// Prepares the folders and writes \a settings (if any) to the settings file.
    IsolatedRun(std::string program, const Settings& settings = {});
    /// Stops the program if it still runs and removes the folders.
    ~IsolatedRun();
    IsolatedRun(const IsolatedRun&) = delete;
    IsolatedRun& operator=(const IsolatedRun&) = delete;

    /// Arguments for the program, before start().
    void setArguments(std::vector<std::string> arguments) { m_arguments = std::move(arguments); }
    /// Sets an environment variable for the program, before start().
    void setEnvironment(std::string name, std::string value);
    /// Starts the program; its output goes to a log in the private folder. Throws
    /// std::runtime_error if it cannot.
    pid_t start();
    /// Asks the program to end (SIGTERM), then ends it (SIGKILL) if it has not within 5 s.
    void stop();

    pid_t pid() const { return m_pid; }
    const std::string& configFolder() const { return m_config; }
    const std::string& tempFolder() const { return m_temp; }

  private:
    std::string m_program;
    std::string m_root;
    std::string m_config;
    std::string m_temp;
    std::vector<std::string> m_arguments;
    std::vector<std::pair<std::string, std::string>> m_environment;
    pid_t m_pid = -1;
};
