#include "Velmora/Application/SingleInstance.h"

#include <QDataStream>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <iostream>

namespace velmora::app {

namespace {

constexpr int connectTimeoutMs = 2000;
constexpr int answerTimeoutMs = 10000;
constexpr qint64 largestRequest = 1 << 20;
constexpr char acknowledgement = '\x06';

} // namespace

SingleInstance::SingleInstance(QString socketPath) : socketPath_(std::move(socketPath)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultSocketPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
        .filePath(QStringLiteral("velmora.socket"));
}

SingleInstance::Role SingleInstance::claim(const QStringList& urls) {
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    if (!lock.lock()) {
        std::cerr << "velmora: cannot lock " << lock.error() << " beside " << socketPath_.toStdString()
                  << std::endl;
        return Role::failed;
    }
    switch (handOff(urls)) {
    case HandOff::accepted:
        return Role::handedOver;
    case HandOff::failed:
        return Role::failed;
    case HandOff::noInstance:
        break;
    }
    return listen() ? Role::first : Role::failed;
}

SingleInstance::HandOff SingleInstance::handOff(const QStringList& urls) const {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(connectTimeoutMs)) {
        const auto error = socket.error();
        // Nothing listens: no socket, or one a crashed instance left behind.
        if (error == QLocalSocket::ServerNotFoundError || error == QLocalSocket::ConnectionRefusedError) {
            return HandOff::noInstance;
        }
        std::cerr << "velmora: the running instance does not answer: " << socket.errorString().toStdString()
                  << std::endl;
        return HandOff::failed;
    }
    QByteArray request;
    QDataStream stream(&request, QIODevice::WriteOnly);
    stream << urls;
    socket.write(request);
    char answer = 0;
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(answerTimeoutMs)) {
            std::cerr << "velmora: the running instance did not take the request: "
                      << socket.errorString().toStdString() << std::endl;
            return HandOff::failed;
        }
    }
    socket.getChar(&answer);
    return answer == acknowledgement ? HandOff::accepted : HandOff::failed;
}

bool SingleInstance::listen() {
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(socketPath_); // left by an instance that ended without closing it
    if (!server_->listen(socketPath_)) {
        std::cerr << "velmora: cannot listen on " << socketPath_.toStdString() << ": "
                  << server_->errorString().toStdString() << std::endl;
        server_.reset();
        return false;
    }
    QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] { accept(); });
    return true;
}

bool SingleInstance::isListening() const {
    return server_ != nullptr && server_->isListening();
}

void SingleInstance::close() {
    if (server_) {
        server_->close(); // removes the socket file
        server_.reset();
    }
}

bool SingleInstance::listenAgain() {
    if (isListening()) {
        return true;
    }
    QLockFile lock(socketPath_ + QStringLiteral(".lock"));
    if (!lock.lock()) {
        return false;
    }
    QLocalSocket probe;
    probe.connectToServer(socketPath_);
    if (probe.waitForConnected(connectTimeoutMs)) {
        return false; // a new instance started meanwhile and is the one now
    }
    return listen();
}

void SingleInstance::accept() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] { read(socket); });
        if (socket->bytesAvailable() > 0) {
            read(socket);
        }
    }
}

void SingleInstance::read(QLocalSocket* socket) {
    QDataStream stream(socket);
    stream.startTransaction();
    QStringList urls;
    stream >> urls;
    if (!stream.commitTransaction()) {
        if (socket->bytesAvailable() > largestRequest) {
            socket->abort();
        }
        return; // the rest has not arrived yet
    }
    socket->putChar(acknowledgement);
    socket->flush();
    socket->disconnectFromServer();
    if (urls.isEmpty()) {
        if (handlers_.showPanel) {
            handlers_.showPanel();
        }
    } else if (handlers_.openUrls) {
        handlers_.openUrls(urls);
    }
}

} // namespace velmora::app
