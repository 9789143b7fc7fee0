#include "render/stop_signals.h"

#include <chrono>

namespace {

constexpr int kSignalPollMs = 10;

}  // namespace

int StoppedStatus(int signal)
{
    return 128 + signal;
}

void StopShow(CRenderContext& context)
{
    context.m_bRunning = 0;
    context.StopWorkers();
}

StopWhenSignalled::StopWhenSignalled(CRenderContext& context, const std::atomic<int>& stopSignal)
    : m_thread([this, &context, &stopSignal] {
          // A signal handler can only set a flag, so the flag is polled.
          std::unique_lock<std::mutex> lock(m_mutex);
          while (!m_bDone) {
              if (stopSignal != 0) {
                  StopShow(context);
                  return;
              }
              m_ended.wait_for(lock, std::chrono::milliseconds(kSignalPollMs));
          }
      })
{
}

StopWhenSignalled::~StopWhenSignalled()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_bDone = true;
    }
    m_ended.notify_one();
    m_thread.join();
}
