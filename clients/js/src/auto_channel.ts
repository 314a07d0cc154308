// The WebSocket first, and the browser extension when the browser keeps the page from the
// service or nothing listens: the extension's native messaging is not subject to the guard.

import { Channel, ChannelKind } from "./channel.js";
import { ReaderError } from "./errors.js";
import { ExtensionChannel, NO_EXTENSION } from "./extension_channel.js";
import { WebSocketChannel } from "./websocket_channel.js";

/** The WebSocket failures the extension can get round; others are the service's answer. */
const FALL_BACK_ON = new Set(["permission-denied", "insecure-page", "service-unavailable"]);

/** Whether the extension may serve where the WebSocket failed so. */
export function extensionCanHelp(error: unknown): boolean {
  return error instanceof ReaderError && FALL_BACK_ON.has(error.code);
}

export class AutoChannel implements Channel {
  served: ChannelKind = "websocket";

  constructor(
    private readonly socket: WebSocketChannel,
    private readonly extension: ExtensionChannel,
  ) {}

  async request(timeoutMs: number): Promise<unknown> {
    const started = Date.now();
    try {
      const reply = await this.socket.request(timeoutMs);
      this.served = "websocket";
      return reply;
    } catch (error) {
      if (!extensionCanHelp(error)) {
        throw error;
      }
      const left = timeoutMs - (Date.now() - started);
      if (left <= 0) {
        throw error;
      }
      try {
        const reply = await this.extension.request(left);
        this.served = "extension";
        return reply;
      } catch (fallback) {
        // Without the extension, why the WebSocket failed is what the page needs to know.
        throw (fallback as { cause?: unknown }).cause === NO_EXTENSION ? error : fallback;
      }
    }
  }

  close(): void {
    this.socket.close();
    this.extension.close();
  }
}
