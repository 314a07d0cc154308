// The reader client: queued reads over one channel, and watching for cards laid down.

import { Card, parseReply } from "./card.js";
import { Channel } from "./channel.js";
import { ExtensionChannel } from "./extension_channel.js";
import { ReaderError } from "./errors.js";
import { SocketFactory, WebSocketChannel } from "./websocket_channel.js";

export const DEFAULT_URL = "ws://127.0.0.1:17171";
/** One read takes about a second with its pictures; this leaves room for a slow machine. */
export const DEFAULT_TIMEOUT_MS = 8000;
/** A clerk lays the card down and waits; a read every second and a half answers promptly enough. */
export const DEFAULT_WATCH_INTERVAL_MS = 1500;

export interface ClientOptions {
  /** "websocket" (the service, the default) or "extension" (the sample extension's bridge). */
  channel?: "websocket" | "extension";
  /** Where the service listens; default ws://127.0.0.1:17171. */
  url?: string;
  /** For runtimes without a global WebSocket (such as older Node with the "ws" package). */
  createSocket?: SocketFactory;
}

export interface ReadOptions extends ClientOptions {
  /** How long one read may take, connecting included; default 8000 ms. */
  timeoutMs?: number;
}

export interface WatchOptions extends ReadOptions {
  /** The pause between two reads; default 1500 ms. */
  intervalMs?: number;
  /** Told of every failure other than "no card on the reader"; watching goes on. */
  onError?: (error: ReaderError) => void;
  /** Stops watching when aborted, as stop() does. */
  signal?: AbortSignal;
}

export interface CardWatch {
  stop(): void;
}

function asReaderError(error: unknown): ReaderError {
  return error instanceof ReaderError
    ? error
    : new ReaderError("read-failed", String(error), { cause: error });
}

/** A card counts as the same while it stays on the reader: same kind, number and dates. */
function cardIdentity(card: Card): string {
  return [card.kind, card.idNumber, card.name, card.validFrom, card.validUntil].join("|");
}

/** Reads cards through one channel; calls are queued and answered in order. */
export class ReaderClient {
  private readonly channel: Channel;
  private queue: Promise<unknown> = Promise.resolve();

  constructor(options: ClientOptions = {}) {
    this.channel =
      options.channel === "extension"
        ? new ExtensionChannel()
        : new WebSocketChannel(options.url ?? DEFAULT_URL, options.createSocket);
  }

  /** Reads the card on the reader; rejects with ReaderError. */
  readCard(options: { timeoutMs?: number } = {}): Promise<Card> {
    const timeoutMs = options.timeoutMs ?? DEFAULT_TIMEOUT_MS;
    // The service answers one request at a time on a connection, in order; each call waits
    // for the one before it, whatever that one's outcome.
    const reply = this.queue.then(
      () => this.channel.request(timeoutMs),
      () => this.channel.request(timeoutMs),
    );
    this.queue = reply.catch(() => undefined);
    return reply.then(parseReply, (error) => {
      throw asReaderError(error);
    });
  }

  /**
   * Reads again and again and calls onCard once for each card laid on the reader; the same
   * card is not reported again until it has been taken away.
   */
  watchCard(onCard: (card: Card) => void, options: WatchOptions = {}): CardWatch {
    const intervalMs = options.intervalMs ?? DEFAULT_WATCH_INTERVAL_MS;
    let stopped = false;
    let timer: ReturnType<typeof setTimeout> | undefined;
    let lastCard: string | null = null;
    const stop = () => {
      stopped = true;
      clearTimeout(timer);
      options.signal?.removeEventListener("abort", stop);
    };
    const next = async () => {
      try {
        const card = await this.readCard(options);
        const identity = cardIdentity(card);
        if (!stopped && identity !== lastCard) {
          lastCard = identity;
          try {
            onCard(card);
          } catch (error) {
            // The page's own fault must not end the watch; it still shows in the console.
            setTimeout(() => {
              throw error;
            });
          }
        }
      } catch (error) {
        const failure = asReaderError(error);
        if (failure.code === "no-card") {
          lastCard = null;
        } else if (!stopped) {
          options.onError?.(failure);
        }
      }
      if (!stopped) {
        timer = setTimeout(next, intervalMs);
      }
    };
    if (options.signal?.aborted) {
      stopped = true;
    } else {
      options.signal?.addEventListener("abort", stop);
      next();
    }
    return { stop };
  }

  /** Ends the connection; a later read opens a new one. */
  close(): void {
    this.channel.close();
  }
}

const sharedClients = new Map<string, ReaderClient>();

function sharedClient(options: ClientOptions): ReaderClient {
  const key =
    options.channel === "extension" ? "extension" : `websocket ${options.url ?? DEFAULT_URL}`;
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

/** Ends every connection the shared clients hold. */
export function close(): void {
  for (const client of sharedClients.values()) {
    client.close();
  }
  sharedClients.clear();
}
