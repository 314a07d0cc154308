// The sample browser extension as a channel: the page asks its content script, which has the
// extension ask the native-messaging host.

import { Channel } from "./channel.js";
import { ReaderError } from "./errors.js";

/** Marks the messages of this bridge among everything else posted to the window. */
export const BRIDGE_CHANNEL = "vornidreader";
/** How long the content script may take to say it took the request; it answers at once. */
const ACCEPT_TIMEOUT_MS = 1000;
/** The cause of the error when no extension answered on the page at all. */
export const NO_EXTENSION = "no-extension";

interface BridgeMessage {
  channel: string;
  type: "read" | "accepted" | "reply" | "error" | "ping" | "pong";
  id: string;
  reply?: unknown;
  message?: string;
}

function isBridgeMessage(data: unknown): data is BridgeMessage {
  const message = data as BridgeMessage | null;
  return (
    typeof message === "object" &&
    message !== null &&
    message.channel === BRIDGE_CHANNEL &&
    typeof message.id === "string"
  );
}

let requestCounter = 0;

function nextId(): string {
  requestCounter += 1;
  return `${Date.now().toString(36)}-${requestCounter}`;
}

/** Requests through window messages to the extension's content script on this page. */
export class ExtensionChannel implements Channel {
  readonly served = "extension";

  /**
   * Whether the extension's content script is on this page; the reader program is not
   * started, so nothing is read. An extension older than this question does not answer it.
   */
  present(timeoutMs: number = ACCEPT_TIMEOUT_MS): Promise<boolean> {
    const page = (globalThis as { window?: Window }).window;
    if (!page || typeof page.postMessage !== "function") {
      return Promise.resolve(false);
    }
    const id = nextId();
    return new Promise((resolve) => {
      const finish = (answer: boolean) => {
        page.removeEventListener("message", listen);
        clearTimeout(timer);
        resolve(answer);
      };
      const listen = (event: MessageEvent) => {
        if (
          event.source === page &&
          isBridgeMessage(event.data) &&
          event.data.id === id &&
          event.data.type === "pong"
        ) {
          finish(true);
        }
      };
      const timer = setTimeout(() => finish(false), timeoutMs);
      page.addEventListener("message", listen);
      const ping: BridgeMessage = { channel: BRIDGE_CHANNEL, type: "ping", id };
      page.postMessage(ping, "*");
    });
  }

  request(timeoutMs: number): Promise<unknown> {
    const page = (globalThis as { window?: Window }).window;
    if (!page || typeof page.postMessage !== "function") {
      return Promise.reject(
        new ReaderError("service-unavailable", "the extension channel needs a browser page", {
          cause: NO_EXTENSION,
        }),
      );
    }
    const id = nextId();
    return new Promise((resolve, reject) => {
      let accepted = false;
      const finish = (action: () => void) => {
        page.removeEventListener("message", listen);
        clearTimeout(acceptTimer);
        clearTimeout(replyTimer);
        action();
      };
      const listen = (event: MessageEvent) => {
        if (event.source !== page || !isBridgeMessage(event.data) || event.data.id !== id) {
          return;
        }
        const message = event.data;
        if (message.type === "accepted") {
          accepted = true;
        } else if (message.type === "reply") {
          finish(() => resolve(message.reply));
        } else if (message.type === "error") {
          finish(() =>
            reject(
              new ReaderError(
                "service-unavailable",
                "the extension could not ask the reader program: " +
                  (message.message ?? "no reason given"),
              ),
            ),
          );
        }
      };
      const acceptTimer = setTimeout(
        () => {
          if (!accepted) {
            finish(() =>
              reject(
                new ReaderError(
                  "service-unavailable",
                  "no VornIdReader extension answers on this page",
                  { cause: NO_EXTENSION },
                ),
              ),
            );
          }
        },
        Math.min(ACCEPT_TIMEOUT_MS, timeoutMs),
      );
      const replyTimer = setTimeout(() => {
        finish(() =>
          reject(new ReaderError("timeout", `the extension did not reply within ${timeoutMs} ms`)),
        );
      }, timeoutMs);
      page.addEventListener("message", listen);
      const request: BridgeMessage = { channel: BRIDGE_CHANNEL, type: "read", id };
      page.postMessage(request, "*");
    });
  }

  close(): void {
    // Every request starts the reader program afresh; there is no connection to end.
  }
}
