#include "IsolatedRun.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

IsolatedRun::IsolatedRun(std::string program, const Settings& settings)
    : m_program(std::move(program))
{
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pingora-bench.XXXXXX";
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error(std::string("mkdtemp: ") + std::strerror(errno));
    m_root = pattern;
    m_config = m_root + "/config";
    m_temp = m_root + "/temp";
    std::filesystem::create_directories(m_config);
    std::filesystem::create_directories(m_temp);
    if (!settings.empty()) {
        std::ofstream ini(m_config + "/Wrenfield.ini");
        ini << "[Pingora]\n";
        for (const auto& [key, value] : settings)
            ini << key << '=' << value << '\n';
    }
}

IsolatedRun::~IsolatedRun()
{
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(m_root, ignored);
}

void IsolatedRun::setEnvironment(std::string name, std::string value)
{
    m_environment.emplace_back(std::move(name), std::move(value));
}

pid_t IsolatedRun::start()
{
    const std::string log = m_root + "/output.log";
    const pid_t parent = getpid();
    m_pid = fork();
    if (m_pid < 0)
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (m_pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        setenv("XDG_CONFIG_HOME", m_config.c_str(), 1);
        setenv("TEMP", m_temp.c_str(), 1);
        for (const auto& [name, value] : m_environment)
            setenv(name.c_str(), value.c_str(), 1);
        const int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out >= 0) {
            dup2(out, STDOUT_FILENO);
            dup2(out, STDERR_FILENO);
        }
        std::vector<char*> argv{const_cast<char*>(m_program.c_str())};
        for (const std::string& argument : m_arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        execv(m_program.c_str(), argv.data());
        _exit(127);
    }
    return m_pid;
}

void IsolatedRun::stop()
{
    if (m_pid <= 0)
        return;
    kill(m_pid, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}
