// The one error class of the library, and how a failed reply maps onto its codes.

import type { LoopbackPermission } from "./permission.js";

/** Stable reasons a read can fail; compare against these, never against message texts. */
export type ReaderErrorCode =
  | "service-unavailable"
  | "timeout"
  | "no-card"
  | "read-failed"
  | "driver-missing"
  | "photo-failed"
  | "origin-refused"
  | "permission-denied"
  | "insecure-page";

export interface ReaderErrorDetails {
  /** The service's result code (the driver's or decoder's own number when they failed). */
  result?: number;
  /** The service's own message, kept for support staff. */
  serviceMessage?: string;
  /** The reply that carried the failure, when there was one. */
  reply?: unknown;
  /** The browser's loopback-network permission when the browser kept the page away. */
  permission?: LoopbackPermission;
  cause?: unknown;
}

/** A read that did not give a card. `code` says why; the rest is for support staff. */
export class ReaderError extends Error {
  readonly code: ReaderErrorCode;
  readonly result?: number;
  readonly serviceMessage?: string;
  readonly reply?: unknown;
  readonly permission?: LoopbackPermission;

  constructor(code: ReaderErrorCode, message: string, details: ReaderErrorDetails = {}) {
    super(message);
    this.name = "ReaderError";
    this.code = code;
    this.result = details.result;
    this.serviceMessage = details.serviceMessage;
    this.reply = details.reply;
    this.permission = details.permission;
    if (details.cause !== undefined) {
      (this as { cause?: unknown }).cause = details.cause;
    }
  }
}

/** Any failure as a ReaderError; what is not one already counts as a failed read. */
export function asReaderError(error: unknown): ReaderError {
  return error instanceof ReaderError
    ? error
    : new ReaderError("read-failed", String(error), { cause: error });
}

// The service's messages are fixed texts; the codes beside them are the driver's own and vary
// between readers, so the message is what tells the failures apart. Messages that carry the
// driver's code in brackets are matched by their beginning.
const FAILURE_MESSAGES: ReadonlyArray<[string, ReaderErrorCode, string]> = [
  ["加载二代证设备库失败.", "driver-missing", "the reader driver library could not be loaded"],
  ["获得模块路径失败.", "driver-missing", "the service could not find its own folder"],
  ["寻卡失败(", "no-card", "no card was found on the reader"],
  ["读卡信息失败(", "read-failed", "the card could not be read"],
  ["照片解码失败.", "photo-failed", "the photo could not be decoded"],
  [
    "生成身份证正面合成图失败.",
    "photo-failed",
    "the picture of the card's front could not be made",
  ],
  ["生成身份证背面合成图失败.", "photo-failed", "the picture of the card's back could not be made"],
];

/** With result 0, this message says the photo decoder is missing and no picture was made. */
export const DECODER_MISSING_MESSAGE = "加载二代证解码库失败.";

/**
 * The error a reply stands for, or null when it carries a card. A reply with result 0 and the
 * decoder message still carries the card (without pictures); the folder message comes with
 * result 0 too, but with no card in it.
 */
export function replyError(reply: { result: number; errmsg: string }): ReaderError | null {
  const known = FAILURE_MESSAGES.find(([text]) => reply.errmsg.startsWith(text));
  if (reply.result === 0 && (!known || known[1] !== "driver-missing")) {
    return null;
  }
  const [code, text] = known
    ? [known[1], known[2]]
    : ["read-failed" as const, "the service could not read the card"];
  return new ReaderError(code, `${text} (${reply.result}: ${reply.errmsg})`, {
    result: reply.result,
    serviceMessage: reply.errmsg,
    reply,
  });
}

/** The browser kept the page from the service: not allowed yet, or refused. */
export function permissionDeniedError(url: string, permission: LoopbackPermission): ReaderError {
  return new ReaderError(
    "permission-denied",
    `the browser does not let this site reach the card reader service at ${url} ` +
      `(permission "${permission}"): allow the site to reach apps on this device when the ` +
      "browser asks, or in its site settings, or ask IT to allow the site by policy " +
      "(LoopbackNetworkAllowedForUrls)",
    { permission },
  );
}

/** A page served without https: the browser may not even ask the user. */
export function insecurePageError(url: string, permission: LoopbackPermission): ReaderError {
  return new ReaderError(
    "insecure-page",
    `this page is not served over https, so the browser does not let it reach the card ` +
      `reader service at ${url}: open the application's https address, or ask IT to serve it ` +
      "over https",
    { permission },
  );
}
