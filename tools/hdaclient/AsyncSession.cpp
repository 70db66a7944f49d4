#include "AsyncSession.h"

namespace hdaclient {
namespace {

// How long Close waits for a callback that is still running in the sink.
constexpr DWORD kIdleWaitMs = 5000;

}  // namespace

AsyncSession::AsyncSession(Connection &connection) : connection_(connection) {
    IOPCHDA_Server *server = connection.Server();
    connection.Check(server->QueryInterface(IID_IOPCHDA_AsyncRead, asyncRead_.OutVoid()),
                     "QueryInterface(IOPCHDA_AsyncRead)");
    ComPtr<IConnectionPointContainer> container;
    connection.Check(server->QueryInterface(IID_IConnectionPointContainer, container.OutVoid()),
                     "QueryInterface(IConnectionPointContainer)");
    connection.Check(container->FindConnectionPoint(IID_IOPCHDA_DataCallback, point_.Out()),
                     "FindConnectionPoint(IOPCHDA_DataCallback)");
    *sink_.Out() = new DataCallbackSink;
    connection.Check(point_->Advise(sink_.Get(), &cookie_), "Advise");
    advised_ = true;
}

AsyncSession::~AsyncSession() { Close(); }

void AsyncSession::Close() {
    if (!advised_) return;
    advised_ = false;
    point_->Unadvise(cookie_);
    IID iid;
    point_->GetConnectionInterface(&iid);
    sink_->WaitIdle(kIdleWaitMs);
}

std::unique_ptr<AsyncSession> AsyncSessionIfAsked(const Arguments &args, Connection &connection) {
    if (!args.Has("async")) return nullptr;
    return std::unique_ptr<AsyncSession>(new AsyncSession(connection));
}

}  // namespace hdaclient
