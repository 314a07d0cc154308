// What the client needs of a way to reach the service: one reply per request, and an end.

/** The two ways to the service. */
export type ChannelKind = "websocket" | "extension";

/** Carries one read request to the service and brings back the reply document as parsed JSON. */
export interface Channel {
  /** Resolves with the reply, or rejects with a ReaderError, within timeoutMs. */
  request(timeoutMs: number): Promise<unknown>;
  /** Which way the last reply came. */
  readonly served: ChannelKind;
  /** Ends the connection, if any; the next request opens a new one. */
  close(): void;
}
