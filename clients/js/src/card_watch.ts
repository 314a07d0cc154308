// Watching for cards laid on the reader: through the service's own subscription where it offers
// one, by reading again and again where it does not (an older service, the extension).

import { Card, parseReply } from "./card.js";
import { asReaderError, ReaderError } from "./errors.js";
import { WatchConnection, WatchEvents } from "./watch_connection.js";

/** The first pause before a lost subscription is taken up again; it doubles up to the bound. */
const RECONNECT_FIRST_MS = 500;
const RECONNECT_MAX_MS = 8000;

export interface WatchCallbacks {
  onCard: (card: Card) => void;
  onRemoved?: () => void;
  onError?: (error: ReaderError) => void;
}

/** What a watch needs of its client. */
export interface WatchSource {
  /** One read through the client's queue, for watching by reading. */
  read(): Promise<Card>;
  /** Opens a subscription of its own; absent when the client's channel cannot carry one. */
  subscribe?: (askVersion: boolean, events: WatchEvents) => WatchConnection;
  /** Whether the service can watch, as its version said: undefined until asked. */
  support: { canWatch?: boolean };
  /** Whether to read through the client's channel instead after this subscription failure. */
  pollAfter(error: ReaderError): boolean;
  /** The pause between two reads when watching by reading. */
  intervalMs: number;
}

/** A card counts as the same while it stays on the reader: same kind, number and dates. */
function cardIdentity(card: Card): string {
  return [card.kind, card.idNumber, card.name, card.validFrom, card.validUntil].join("|");
}

/** The page's own fault must not end the watch; it still shows in the console. */
function callSafely<T>(callback: ((value: T) => void) | undefined, value: T): void {
  try {
    callback?.(value);
  } catch (error) {
    setTimeout(() => {
      throw error;
    });
  }
}

/** One watch, from its start to stop(): reports each card laid down once, and its removal. */
export class CardWatcher {
  private stopped = false;
  private lastCard: string | null = null;
  private timer: ReturnType<typeof setTimeout> | undefined;
  private connection: WatchConnection | null = null;
  private reconnectMs = RECONNECT_FIRST_MS;

  constructor(
    private readonly source: WatchSource,
    private readonly callbacks: WatchCallbacks,
    private readonly signal?: AbortSignal,
  ) {
    if (signal?.aborted) {
      this.stopped = true;
      return;
    }
    signal?.addEventListener("abort", this.stop);
    this.begin();
  }

  readonly stop = (): void => {
    if (this.stopped) {
      return;
    }
    this.stopped = true;
    clearTimeout(this.timer);
    this.connection?.close();
    this.connection = null;
    this.signal?.removeEventListener("abort", this.stop);
  };

  private begin(): void {
    if (this.source.subscribe && this.source.support.canWatch !== false) {
      this.subscribe(this.source.subscribe);
    } else {
      this.poll();
    }
  }

  private subscribe(open: NonNullable<WatchSource["subscribe"]>): void {
    const support = this.source.support;
    this.connection = open(support.canWatch === undefined, {
      support: (canWatch) => {
        support.canWatch = canWatch;
        if (!canWatch) {
          this.connection = null;
          this.poll();
        }
      },
      watching: () => {
        this.reconnectMs = RECONNECT_FIRST_MS;
      },
      reply: (value) => this.pushed(value),
      removed: () => this.taken(),
      garbled: (error) => this.failed(error),
      lost: (error) => {
        this.connection = null;
        // The service may have been replaced meanwhile: the next subscription asks again. What
        // lay on the reader is unknown until then, so a card still there is reported again.
        support.canWatch = undefined;
        this.lastCard = null;
        this.failed(error);
        if (this.source.pollAfter(error)) {
          this.poll();
          return;
        }
        this.timer = setTimeout(() => this.begin(), this.reconnectMs);
        this.reconnectMs = Math.min(this.reconnectMs * 2, RECONNECT_MAX_MS);
      },
    });
  }

  private pushed(value: unknown): void {
    let card: Card;
    try {
      card = parseReply(value, "websocket");
    } catch (error) {
      const failure = asReaderError(error);
      if (failure.code === "no-card") {
        this.taken();
      } else {
        this.failed(failure);
      }
      return;
    }
    this.seen(card);
  }

  private async poll(): Promise<void> {
    if (this.stopped) {
      return;
    }
    try {
      const card = await this.source.read();
      if (!this.stopped) {
        this.seen(card);
      }
    } catch (error) {
      const failure = asReaderError(error);
      if (this.stopped) {
        return;
      }
      if (failure.code === "no-card") {
        this.taken();
      } else {
        this.failed(failure);
      }
    }
    if (!this.stopped) {
      this.timer = setTimeout(() => this.poll(), this.source.intervalMs);
    }
  }

  private seen(card: Card): void {
    const identity = cardIdentity(card);
    if (identity !== this.lastCard) {
      this.lastCard = identity;
      callSafely(this.callbacks.onCard, card);
    }
  }

  private taken(): void {
    if (this.lastCard !== null) {
      this.lastCard = null;
      callSafely(this.callbacks.onRemoved, undefined);
    }
  }

  private failed(error: ReaderError): void {
    if (!this.stopped) {
      callSafely(this.callbacks.onError, error);
    }
  }
}
