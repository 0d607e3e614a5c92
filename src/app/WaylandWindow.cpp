#include "app/WaylandWindow.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <wayland-client.h>
#include <xdg-activation-v1-client-protocol.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <string>

namespace app {

namespace {

struct Exchange
{
    xdg_activation_v1* activation = nullptr;
    std::string token;
};

void onGlobal(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t /*version*/)
{
    auto* exchange = static_cast<Exchange*>(data);
    if (exchange->activation == nullptr && std::strcmp(interface, xdg_activation_v1_interface.name) == 0)
        exchange->activation =
            static_cast<xdg_activation_v1*>(wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
}

void onGlobalRemoved(void* /*data*/, wl_registry* /*registry*/, uint32_t /*name*/) {}

const wl_registry_listener registryListener{onGlobal, onGlobalRemoved};

void onTokenDone(void* data, xdg_activation_token_v1* /*token*/, const char* token)
{
    static_cast<Exchange*>(data)->token = token;
}

const xdg_activation_token_v1_listener tokenListener{onTokenDone};

void onSynced(void* data, wl_callback* /*callback*/, uint32_t /*serial*/)
{
    *static_cast<bool*>(data) = true;
}

const wl_callback_listener syncListener{onSynced};

// Waits until the compositor has answered every request sent so far, for half a second at most:
// one that stopped answering must not hold the window.
bool roundTrip(wl_display* display)
{
    bool synced = false;
    wl_callback* const callback = wl_display_sync(display);
    wl_callback_add_listener(callback, &syncListener, &synced);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(500);
    while (!synced && wl_display_flush(display) >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        pollfd answer{wl_display_get_fd(display), POLLIN, 0};
        // Readable, so the dispatch reads without waiting.
        if (left.count() <= 0 || ::poll(&answer, 1, static_cast<int>(left.count())) <= 0 ||
            wl_display_dispatch(display) < 0)
            break;
    }
    wl_callback_destroy(callback);
    return synced;
}

// A token from a connection of its own: Qt 6.4 lends neither its connection nor its surface to
// the application. Tokens are the compositor's, so Qt's connection can spend it.
std::string activationToken()
{
    wl_display* display = wl_display_connect(nullptr);
    if (display == nullptr)
        return {};
    Exchange exchange;
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &registryListener, &exchange);
    if (roundTrip(display) && exchange.activation != nullptr) {
        xdg_activation_token_v1* token = xdg_activation_v1_get_activation_token(exchange.activation);
        xdg_activation_token_v1_add_listener(token, &tokenListener, &exchange);
        xdg_activation_token_v1_commit(token);
        roundTrip(display);
        xdg_activation_token_v1_destroy(token);
    }
    if (exchange.activation != nullptr)
        xdg_activation_v1_destroy(exchange.activation);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    return exchange.token;
}

} // namespace

bool askWaylandAttention(QWidget& window)
{
    QWindow* const handle = window.windowHandle();
    if (!QGuiApplication::platformName().startsWith(u"wayland") || handle == nullptr ||
        !window.testAttribute(Qt::WA_WState_Created))
        return false;
    const std::string token = activationToken();
    if (token.empty())
        return false;
    // Qt 6.4 spends a token found in XDG_ACTIVATION_TOKEN on the next activation and removes it;
    // removed here too, should it not, lest a program the tool starts inherit it.
    qputenv("XDG_ACTIVATION_TOKEN", QByteArray::fromStdString(token));
    handle->requestActivate();
    qunsetenv("XDG_ACTIVATION_TOKEN");
    return true;
}

} // namespace app
