// The service's WebSocket endpoint as a channel: one connection, reused and reopened as needed.

import { Channel } from "./channel.js";
import { connectionFailure, refusalBeforeConnecting } from "./connection_failure.js";
import { ReaderError, ReaderErrorCode } from "./errors.js";
import { currentPage, PageEnvironment } from "./permission.js";

/** The part of the browser's WebSocket the channel uses; other runtimes supply their own. */
export interface SocketLike {
  readonly readyState: number;
  onopen: ((event: unknown) => void) | null;
  onmessage: ((event: { data: unknown }) => void) | null;
  onerror: ((event: unknown) => void) | null;
  onclose: ((event: unknown) => void) | null;
  send(data: string): void;
  close(): void;
}

export type SocketFactory = (url: string) => SocketLike;

/** The one command the service answers with a reply document. */
const READ_COMMAND = "readcard";
const OPEN_STATE = 1;
/** How long the origin probe may take; it runs only after a connection failed to open. */
const PROBE_TIMEOUT_MS = 2000;
/** The status the service answers a handshake from an origin it does not accept with. */
const ORIGIN_REFUSED_STATUS = 403;

export function browserSocket(url: string): SocketLike {
  const Constructor = (globalThis as { WebSocket?: new (url: string) => SocketLike }).WebSocket;
  if (!Constructor) {
    throw new Error("this environment has no WebSocket; pass createSocket");
  }
  return new Constructor(url);
}

/**
 * Tells "refused by origin" from "nothing listens". A browser hides why a WebSocket failed to
 * open, but the service answers a plain request of a refused origin with status 403 and a
 * header that lets the page see it; anything else means the service is not there.
 */
export async function probeRefusal(socketUrl: string): Promise<ReaderErrorCode> {
  const fetchFunction = (globalThis as { fetch?: typeof fetch }).fetch;
  if (!fetchFunction) {
    return "service-unavailable";
  }
  let address: URL;
  try {
    address = new URL(socketUrl);
    address.protocol = address.protocol === "wss:" ? "https:" : "http:";
    address.pathname = "/";
    address.search = "";
  } catch {
    return "service-unavailable";
  }
  const abort = typeof AbortController === "function" ? new AbortController() : null;
  const timer = setTimeout(() => abort?.abort(), PROBE_TIMEOUT_MS);
  try {
    const response = await fetchFunction(address.href, {
      cache: "no-store",
      signal: abort?.signal,
    });
    return response.status === ORIGIN_REFUSED_STATUS ? "origin-refused" : "service-unavailable";
  } catch {
    return "service-unavailable";
  } finally {
    clearTimeout(timer);
  }
}

interface PendingReply {
  resolve(value: unknown): void;
  reject(error: ReaderError): void;
}

/** One WebSocket connection to the service, carrying one request at a time. */
export class WebSocketChannel implements Channel {
  readonly served = "websocket";
  private socket: SocketLike | null = null;
  private opening: Promise<SocketLike> | null = null;
  private pending: PendingReply | null = null;

  constructor(
    readonly url: string,
    private readonly createSocket: SocketFactory = browserSocket,
    private readonly probe: (url: string) => Promise<ReaderErrorCode> = probeRefusal,
    private readonly page: PageEnvironment = currentPage(),
  ) {}

  request(timeoutMs: number): Promise<unknown> {
    return new Promise((resolve, reject) => {
      let settled = false;
      const settle = (action: () => void) => {
        if (!settled) {
          settled = true;
          clearTimeout(timer);
          this.pending = null;
          action();
        }
      };
      const timer = setTimeout(() => {
        // A reply that comes after the time-out would be taken for the next request's, so
        // the connection that owes it is given up.
        this.drop();
        settle(() =>
          reject(new ReaderError("timeout", `the service did not reply within ${timeoutMs} ms`)),
        );
      }, timeoutMs);
      this.connect().then(
        (socket) => {
          if (settled) {
            return;
          }
          this.pending = {
            resolve: (value) => settle(() => resolve(value)),
            reject: (error) => settle(() => reject(error)),
          };
          try {
            socket.send(READ_COMMAND);
          } catch (error) {
            this.drop();
            settle(() =>
              reject(
                new ReaderError("service-unavailable", "the request could not be sent", {
                  cause: error,
                }),
              ),
            );
          }
        },
        (error: ReaderError) => settle(() => reject(error)),
      );
    });
  }

  close(): void {
    this.drop();
  }

  private connect(): Promise<SocketLike> {
    if (this.socket && this.socket.readyState === OPEN_STATE) {
      return Promise.resolve(this.socket);
    }
    if (!this.opening) {
      const opening = this.open();
      // Whatever the outcome, the next call decides afresh from the socket's state.
      const clear = () => {
        if (this.opening === opening) {
          this.opening = null;
        }
      };
      opening.then(clear, clear);
      this.opening = opening;
    }
    return this.opening;
  }

  private open(): Promise<SocketLike> {
    // A browser that has refused already is not asked again through a connection.
    return refusalBeforeConnecting(this.url, this.page).then((refusal) =>
      refusal ? Promise.reject(refusal) : this.openSocket(),
    );
  }

  private openSocket(): Promise<SocketLike> {
    return new Promise((resolve, reject) => {
      let socket: SocketLike;
      try {
        socket = this.createSocket(this.url);
      } catch (error) {
        reject(
          new ReaderError("service-unavailable", `cannot connect to ${this.url}`, { cause: error }),
        );
        return;
      }
      let opened = false;
      this.socket = socket;
      socket.onopen = () => {
        opened = true;
        resolve(socket);
      };
      let ended = false;
      const end = () => {
        if (ended) {
          return;
        }
        ended = true;
        if (this.socket === socket) {
          this.socket = null;
        }
        if (!opened) {
          connectionFailure(this.url, this.page, this.probe).then(reject);
          return;
        }
        const pending = this.pending;
        this.pending = null;
        pending?.reject(
          new ReaderError(
            "service-unavailable",
            "the service closed the connection before it replied",
          ),
        );
      };
      // A browser follows an error with a close event; Node's built-in WebSocket may fire the
      // error alone when the connection cannot be made. Whichever comes first ends it.
      socket.onerror = end;
      socket.onmessage = (event) => this.receive(event.data);
      socket.onclose = end;
    });
  }

  private receive(data: unknown): void {
    const pending = this.pending;
    this.pending = null;
    if (!pending) {
      return;
    }
    try {
      pending.resolve(JSON.parse(String(data)));
    } catch (error) {
      pending.reject(
        new ReaderError("read-failed", "the service's answer is not JSON", { cause: error }),
      );
    }
  }

  private drop(): void {
    const socket = this.socket;
    this.socket = null;
    this.opening = null;
    if (socket) {
      socket.onmessage = null;
      socket.onclose = null;
      socket.onopen = null;
      try {
        socket.close();
      } catch {
        // Closing a socket that failed already has nothing left to do.
      }
    }
  }
}
