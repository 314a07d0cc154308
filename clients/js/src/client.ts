// The reader client: queued reads over one channel, and watching for cards laid down.

import { AutoChannel, extensionCanHelp } from "./auto_channel.js";
import { Card, parseReply } from "./card.js";
import { CardWatcher } from "./card_watch.js";
import { Channel } from "./channel.js";
import { ExtensionChannel } from "./extension_channel.js";
import { asReaderError, ReaderError } from "./errors.js";
import { currentPage, PageEnvironment } from "./permission.js";
import { readerStatus, ReaderStatus } from "./status.js";
import { WatchConnection, WatchEvents } from "./watch_connection.js";
import {
  browserSocket,
  probeRefusal,
  SocketFactory,
  WebSocketChannel,
} from "./websocket_channel.js";

export const DEFAULT_URL = "ws://127.0.0.1:17171";
/** One read takes about a second with its pictures; this leaves room for a slow machine. */
export const DEFAULT_TIMEOUT_MS = 8000;
/**
 * Watching by reading (an older service, the extension): a clerk lays the card down and waits;
 * a read every second and a half answers promptly enough.
 */
export const DEFAULT_WATCH_INTERVAL_MS = 1500;
/** status() waits this long for the service's version; a read under way delays it. */
export const DEFAULT_STATUS_TIMEOUT_MS = 3000;

export interface ClientOptions {
  /**
   * "websocket" (the service, the default), "extension" (the sample extension's bridge), or
   * "auto": the WebSocket, and the extension when the browser blocks the WebSocket or nothing
   * listens (the card's `channel` says which served).
   */
  channel?: "websocket" | "extension" | "auto";
  /** Where the service listens; default ws://127.0.0.1:17171. */
  url?: string;
  /** For runtimes without a global WebSocket (such as older Node with the "ws" package). */
  createSocket?: SocketFactory;
  /** The page's secure context, address and permissions; the global ones by default. */
  page?: PageEnvironment;
}

export interface ReadOptions extends ClientOptions {
  /** How long one read may take, connecting included; default 8000 ms. */
  timeoutMs?: number;
}

export interface WatchOptions extends ReadOptions {
  /** The pause between two reads where the service cannot watch; default 1500 ms. */
  intervalMs?: number;
  /** Told when the card reported last has been taken away. */
  onRemoved?: () => void;
  /**
   * Told of every failure other than "no card on the reader", a lost connection to the service
   * included; watching goes on.
   */
  onError?: (error: ReaderError) => void;
  /** Stops watching when aborted, as stop() does. */
  signal?: AbortSignal;
}

export interface CardWatch {
  stop(): void;
}

/** Reads cards through one channel; calls are queued and answered in order. */
export class ReaderClient {
  private readonly channel: Channel;
  private readonly url: string;
  private readonly createSocket: SocketFactory;
  private readonly page: PageEnvironment;
  private readonly extension = new ExtensionChannel();
  private queue: Promise<unknown> = Promise.resolve();
  /** Whether the service can watch, once its version has said so. */
  private readonly watchSupport: { canWatch?: boolean } = {};

  constructor(options: ClientOptions = {}) {
    this.url = options.url ?? DEFAULT_URL;
    this.createSocket = options.createSocket ?? browserSocket;
    this.page = options.page ?? currentPage();
    const socket = () => new WebSocketChannel(this.url, this.createSocket, probeRefusal, this.page);
    switch (options.channel) {
      case "extension":
        this.channel = this.extension;
        break;
      case "auto":
        this.channel = new AutoChannel(socket(), this.extension);
        break;
      default:
        this.channel = socket();
    }
  }

  /**
   * What stands between this page and the card, without reading it: whether the endpoint
   * answers, the browser's permission, the service's version and the extension. Never rejects.
   */
  status(options: { timeoutMs?: number } = {}): Promise<ReaderStatus> {
    return readerStatus({
      url: this.url,
      createSocket: this.createSocket,
      page: this.page,
      probe: probeRefusal,
      extension: this.extension,
      timeoutMs: options.timeoutMs ?? DEFAULT_STATUS_TIMEOUT_MS,
    });
  }

  /** Reads the card on the reader; rejects with ReaderError. */
  readCard(options: { timeoutMs?: number } = {}): Promise<Card> {
    const timeoutMs = options.timeoutMs ?? DEFAULT_TIMEOUT_MS;
    // The service answers one request at a time on a connection, in order; each call waits
    // for the one before it, whatever that one's outcome.
    const ask = () => this.channel.request(timeoutMs);
    const reply = this.queue.then(ask, ask);
    this.queue = reply.catch(() => undefined);
    // The queue lets one request run at a time, so the channel that served is this reply's.
    return reply.then(
      (value) => parseReply(value, this.channel.served),
      (error) => {
        throw asReaderError(error);
      },
    );
  }

  /**
   * Calls onCard once for each card laid on the reader, and onRemoved when it is taken away;
   * the same card is not reported again until it has been taken away. The service pushes
   * cards on a connection of the watch's own where it can; otherwise the card is read again
   * and again.
   */
  watchCard(onCard: (card: Card) => void, options: WatchOptions = {}): CardWatch {
    const timeoutMs = options.timeoutMs ?? DEFAULT_TIMEOUT_MS;
    const subscribe =
      this.channel === this.extension
        ? undefined
        : (askVersion: boolean, events: WatchEvents) =>
            new WatchConnection(
              this.url,
              this.createSocket,
              probeRefusal,
              this.page,
              askVersion,
              timeoutMs,
              events,
            );
    // Where the browser keeps the page from the service, "auto" reads through the extension.
    const auto = this.channel instanceof AutoChannel;
    const watcher = new CardWatcher(
      {
        read: () => this.readCard(options),
        subscribe,
        support: this.watchSupport,
        pollAfter: (error) => auto && extensionCanHelp(error),
        intervalMs: options.intervalMs ?? DEFAULT_WATCH_INTERVAL_MS,
      },
      { onCard, onRemoved: options.onRemoved, onError: options.onError },
      options.signal,
    );
    return { stop: watcher.stop };
  }

  /** Ends the connection; a later read opens a new one. */
  close(): void {
    this.channel.close();
  }
}

const sharedClients = new Map<string, ReaderClient>();

function sharedClient(options: ClientOptions): ReaderClient {
  const key =
    options.channel === "extension"
      ? "extension"
      : `${options.channel ?? "websocket"} ${options.url ?? DEFAULT_URL}`;
  let client = sharedClients.get(key);
  if (!client) {
    client = new ReaderClient(options);
    sharedClients.set(key, client);
  }
  return client;
}

/** Reads the card on the reader through the shared client of this channel and URL. */
export function readCard(options: ReadOptions = {}): Promise<Card> {
  return sharedClient(options).readCard(options);
}

/** Watches for cards through the shared client of this channel and URL. */
export function watchCard(onCard: (card: Card) => void, options: WatchOptions = {}): CardWatch {
  return sharedClient(options).watchCard(onCard, options);
}

/** What stands between this page and the card, through the shared client; never rejects. */
export function status(
  options: ClientOptions & { timeoutMs?: number } = {},
): Promise<ReaderStatus> {
  return sharedClient(options).status(options);
}

/** Ends every connection the shared clients hold. */
export function close(): void {
  for (const client of sharedClients.values()) {
    client.close();
  }
  sharedClients.clear();
}
