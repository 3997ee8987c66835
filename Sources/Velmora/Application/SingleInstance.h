#pragma once
// One running application per user session. The first instance listens on a local socket in
// $XDG_RUNTIME_DIR; a later start hands its command-line addresses over, in order (none means "show the
// panel": the launcher was clicked again), and exits. Claiming is serialised by a lock file beside the
// socket, so two starts at once never both become the first, and a socket left by a crashed instance is
// replaced. Main thread only.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;

namespace velmora::app {

class SingleInstance {
public:
    enum class Role {
        first,      // this process listens now
        handedOver, // a running instance took the request
        failed      // neither: the socket could not be listened on or the running one did not answer
    };

    struct Handlers {
        /// The addresses of one later start, in the order given.
        std::function<void(const QStringList& urls)> openUrls;
        std::function<void()> showPanel;
    };

    explicit SingleInstance(QString socketPath = defaultSocketPath());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    /// Hands `urls` to a running instance, or becomes the first. Blocks briefly.
    Role claim(const QStringList& urls);
    /// Where later starts' requests go; they arrive on the main thread.
    void setHandlers(Handlers handlers) { handlers_ = std::move(handlers); }

    bool isListening() const;
    /// Stops listening, so a process started now becomes the first instance itself.
    void close();
    /// Listens again after close() (a relaunch that did not start). False when another instance took over.
    bool listenAgain();

    /// "velmora.socket" in the user's runtime folder.
    static QString defaultSocketPath();

private:
    enum class HandOff { accepted, noInstance, failed };
    HandOff handOff(const QStringList& urls) const;
    bool listen();
    void accept();
    void read(QLocalSocket* socket);

    QString socketPath_;
    Handlers handlers_;
    std::unique_ptr<QLocalServer> server_;
};

} // namespace velmora::app
