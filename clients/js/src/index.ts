// Reads the identity card through the local VornIdReader service.

export {
  ReaderClient,
  readCard,
  watchCard,
  close,
  status,
  DEFAULT_URL,
  DEFAULT_TIMEOUT_MS,
  DEFAULT_WATCH_INTERVAL_MS,
  DEFAULT_STATUS_TIMEOUT_MS,
} from "./client.js";
export type { ClientOptions, ReadOptions, WatchOptions, CardWatch } from "./client.js";
export { parseReply, cardKind, LONG_TERM } from "./card.js";
export type {
  Card,
  CardKind,
  ResidentCard,
  PermitCard,
  ForeignerCard,
  PictureName,
} from "./card.js";
export { ReaderError, DECODER_MISSING_MESSAGE } from "./errors.js";
export type { ReaderErrorCode } from "./errors.js";
export { REPLY_MEMBERS } from "./reply.js";
export type { Reply } from "./reply.js";
export type { SocketLike, SocketFactory } from "./websocket_channel.js";
export type { ChannelKind } from "./channel.js";
export type { LoopbackPermission, PageEnvironment } from "./permission.js";
export type { ReaderStatus, EndpointState, ServiceVersion } from "./status.js";
export { BRIDGE_CHANNEL } from "./extension_channel.js";
