// The connection a watch keeps to the service of its own: it asks what the service understands,
// subscribes, and hands on what the service pushes. Pushed cards are reply documents just as
// read replies are, so this connection never carries a read.

import { connectionFailure, refusalBeforeConnecting, RefusalProbe } from "./connection_failure.js";
import { ReaderError } from "./errors.js";
import { PageEnvironment } from "./permission.js";
import { isServiceVersion, VERSION_COMMAND } from "./status.js";
import { SocketFactory, SocketLike } from "./websocket_channel.js";

/** Subscribes the connection; the service lists it in its version's "messages". */
export const WATCH_COMMAND = "watch";
/** Ends the subscription. */
const UNWATCH_COMMAND = "unwatch";
/** The "event" member of the service's confirmation and of its "card taken away" push. */
const WATCHING_EVENT = "watching";
const REMOVED_EVENT = "removed";

/** What the connection tells its watch. */
export interface WatchEvents {
  /** The service's answer to "version": whether it can watch. Not called when none was asked. */
  support(canWatch: boolean): void;
  /** The service confirmed the subscription. */
  watching(): void;
  /** A reply document the service pushed: a card laid down, or its failed read. */
  reply(value: unknown): void;
  removed(): void;
  /** A push that is not JSON; the connection goes on. */
  garbled(error: ReaderError): void;
  /** The connection failed or ended; not called after close() nor after support(false). */
  lost(error: ReaderError): void;
}

type State = "opening" | "asking" | "subscribing" | "watching" | "closed";

/** One subscription over one WebSocket connection, from opening to close. */
export class WatchConnection {
  private state: State = "opening";
  private socket: SocketLike | null = null;
  private timer: ReturnType<typeof setTimeout> | undefined;
  /** Set by the owner's close(): nothing is reported after it. */
  private stopped = false;

  /**
   * Opens the connection, asks the service's version first when askVersion is set, and
   * subscribes. Until the subscription is confirmed, timeoutMs bounds the wait.
   */
  constructor(
    private readonly url: string,
    private readonly createSocket: SocketFactory,
    private readonly probe: RefusalProbe,
    private readonly page: PageEnvironment,
    askVersion: boolean,
    timeoutMs: number,
    private readonly events: WatchEvents,
  ) {
    this.timer = setTimeout(
      () =>
        this.fail(
          new ReaderError("timeout", `the service did not take the watch within ${timeoutMs} ms`),
        ),
      timeoutMs,
    );
    refusalBeforeConnecting(url, page).then((refusal) => {
      if (refusal) {
        this.fail(refusal);
      } else if (this.state === "opening") {
        this.openSocket(askVersion);
      }
    });
  }

  /** Ends the subscription and the connection at once; no event follows. */
  close(): void {
    this.stopped = true;
    this.shut();
  }

  private shut(): void {
    const socket = this.socket;
    const subscribed = this.state === "subscribing" || this.state === "watching";
    this.end();
    if (socket && subscribed) {
      // Closing alone ends the watch too; the message makes it immediate on a slow close.
      try {
        socket.send(UNWATCH_COMMAND);
      } catch {
        // The connection is gone already.
      }
    }
    try {
      socket?.close();
    } catch {
      // Already closed.
    }
  }

  private openSocket(askVersion: boolean): void {
    let socket: SocketLike;
    try {
      socket = this.createSocket(this.url);
    } catch (error) {
      this.fail(
        new ReaderError("service-unavailable", `cannot connect to ${this.url}`, { cause: error }),
      );
      return;
    }
    this.socket = socket;
    socket.onopen = () => {
      if (this.state !== "opening") {
        return;
      }
      this.state = askVersion ? "asking" : "subscribing";
      this.send(askVersion ? VERSION_COMMAND : WATCH_COMMAND);
    };
    socket.onmessage = (event) => this.receive(String(event.data));
    // A browser follows an error with a close; Node's WebSocket may fire the error alone.
    socket.onerror = socket.onclose = () => this.ended();
  }

  private send(text: string): void {
    try {
      this.socket?.send(text);
    } catch (error) {
      this.fail(
        new ReaderError("service-unavailable", "the service's connection failed", { cause: error }),
      );
    }
  }

  private receive(text: string): void {
    let message: unknown;
    try {
      message = JSON.parse(text);
    } catch (error) {
      if (this.state === "watching") {
        this.events.garbled(
          new ReaderError("read-failed", "the service's push is not JSON", { cause: error }),
        );
        return;
      }
      message = null;
    }
    const event = (message as { event?: unknown } | null)?.event;
    switch (this.state) {
      case "asking":
        this.answered(isServiceVersion(message) && message.messages.includes(WATCH_COMMAND));
        break;
      case "subscribing":
        if (event === WATCHING_EVENT) {
          clearTimeout(this.timer);
          this.state = "watching";
          this.events.watching();
        } else {
          this.fail(new ReaderError("read-failed", "the service did not confirm the watch"));
        }
        break;
      case "watching":
        if (event === REMOVED_EVENT) {
          this.events.removed();
        } else if (event === undefined) {
          this.events.reply(message);
        }
        // Other events (a late "watching", "unwatched") carry nothing for the page.
        break;
    }
  }

  private answered(canWatch: boolean): void {
    if (canWatch) {
      this.state = "subscribing";
      this.events.support(true);
      this.send(WATCH_COMMAND);
      return;
    }
    this.shut();
    this.events.support(false);
  }

  private ended(): void {
    switch (this.state) {
      case "opening":
        this.end();
        connectionFailure(this.url, this.page, this.probe).then((error) => {
          if (!this.stopped) {
            this.events.lost(error);
          }
        });
        break;
      case "asking":
        // A service from before the version message ends the connection without an answer.
        this.answered(false);
        break;
      case "subscribing":
      case "watching":
        this.fail(new ReaderError("service-unavailable", "the service closed the watch"));
        break;
    }
  }

  private fail(error: ReaderError): void {
    if (this.state === "closed") {
      return;
    }
    this.shut();
    this.events.lost(error);
  }

  private end(): void {
    this.state = "closed";
    clearTimeout(this.timer);
    const socket = this.socket;
    if (socket) {
      socket.onopen = socket.onmessage = socket.onerror = socket.onclose = null;
    }
  }
}
