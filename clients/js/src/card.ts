// Typed cards made from the service's reply: English names, clean values, ready pictures.

import { ReaderError, replyError } from "./errors.js";
import type { ChannelKind } from "./channel.js";
import { Reply, replyShapeProblem } from "./reply.js";

/** Stands in `validUntil` for a card valid without end (the card says "长期"). */
export const LONG_TERM = "long-term" as const;

/** What the card says about its end of validity as stored: the long-term text. */
const LONG_TERM_TEXT = "长期";

export type CardKind = "resident" | "foreigner" | "hongkong-macau" | "taiwan";

/** A picture the service could not make, by its place on the card. */
export type PictureName = "photo" | "front" | "back";

interface CardCommon {
  kind: CardKind;
  /** The holder's name in Chinese. */
  name: string;
  /** The sex as the service names it: "男", "女", "其他" or "未知". */
  sex: string;
  /** YYYY-MM-DD, or null when the card holds no valid date. */
  birthDate: string | null;
  /** The identity number (resident card, permits) or the residence number (foreigner). */
  idNumber: string;
  validFrom: string | null;
  /** YYYY-MM-DD, LONG_TERM for a card valid without end, or null when unreadable. */
  validUntil: string | typeof LONG_TERM | null;
  /** The card-type sign as stored: "I" foreigner, "J" permit, otherwise blank. */
  cardSign: string;
  /** data:image/jpeg URLs, or null when the picture could not be made. */
  photo: string | null;
  frontImage: string | null;
  backImage: string | null;
  /** Pictures the service could not make although the card was read; empty when complete. */
  missingPictures: PictureName[];
  /** The service's message when the card was read incompletely, otherwise "". */
  message: string;
  /** The service's reply, untouched. */
  raw: Reply;
  /** Which way the reply came: the service's WebSocket or the browser extension. */
  channel: ChannelKind;
}

export interface ResidentCard extends CardCommon {
  kind: "resident";
  /** The ethnicity as the service names it, such as "汉" (or "未知(code)"). */
  ethnicity: string;
  address: string;
  /** The issuing office. */
  issuedBy: string;
  /** The address written to the card after issue; "" when none. */
  newAddress: string;
}

export interface PermitCard extends CardCommon {
  kind: "hongkong-macau" | "taiwan";
  address: string;
  issuedBy: string;
  /** The number of the holder's travel pass. */
  passNumber: string;
  /** How many times the permit has been issued, two digits as stored. */
  issueCount: string;
}

export interface ForeignerCard extends CardCommon {
  kind: "foreigner";
  englishName: string;
  /** Three-letter nationality code, such as "USA". */
  nationalityCode: string;
  cardVersion: string;
  issuingAuthorityCode: string;
  reserved: string;
}

export type Card = ResidentCard | PermitCard | ForeignerCard;

const JPEG_DATA_URL_PREFIX = "data:image/jpeg;base64,";

/** Permit numbers of Taiwan residents begin with these two digits. */
const TAIWAN_NUMBER_PREFIX = "83";

function isoDate(text: string): string | null {
  const match = /^(\d{4})(\d{2})(\d{2})$/.exec(text.trim());
  if (!match) {
    return null;
  }
  const [, year, month, day] = match;
  const date = new Date(Date.UTC(Number(year), Number(month) - 1, Number(day)));
  // A record with an impossible day (the 31st of April) is not a date, however it looks.
  if (date.getUTCMonth() !== Number(month) - 1 || date.getUTCDate() !== Number(day)) {
    return null;
  }
  return `${year}-${month}-${day}`;
}

function validUntil(text: string): string | typeof LONG_TERM | null {
  return text.trim() === LONG_TERM_TEXT ? LONG_TERM : isoDate(text);
}

function picture(base64: string): string | null {
  return base64 ? JPEG_DATA_URL_PREFIX + base64 : null;
}

/** The kind of card, decided the way the service decides it. */
export function cardKind(reply: Pick<Reply, "CardSign" | "ID">): CardKind {
  const sign = reply.CardSign.trim();
  if (sign === "I") {
    return "foreigner";
  }
  if (sign === "J") {
    return reply.ID.trim().startsWith(TAIWAN_NUMBER_PREFIX) ? "taiwan" : "hongkong-macau";
  }
  return "resident";
}

/**
 * The card a reply carries, or a ReaderError for a reply that carries none. Throws
 * ReaderError("read-failed") for a value that is not a reply document at all.
 */
export function parseReply(value: unknown, channel: ChannelKind = "websocket"): Card {
  const problem = replyShapeProblem(value);
  if (problem) {
    throw new ReaderError("read-failed", `the service's answer is not a reply: ${problem}`, {
      reply: value,
    });
  }
  const reply = value as Reply;
  const failure = replyError(reply);
  if (failure) {
    throw failure;
  }
  const text = (member: keyof Reply): string => String(reply[member]).trim();
  const missingPictures: PictureName[] = [];
  if (!reply.photo) missingPictures.push("photo");
  if (!reply.frontImg) missingPictures.push("front");
  if (!reply.backImg) missingPictures.push("back");
  const common = {
    name: text("Name"),
    sex: text("Sex"),
    birthDate: isoDate(reply.Birth),
    idNumber: text("ID"),
    validFrom: isoDate(reply.ValidBeg),
    validUntil: validUntil(reply.ValidEnd),
    cardSign: text("CardSign"),
    photo: picture(reply.photo),
    frontImage: picture(reply.frontImg),
    backImage: picture(reply.backImg),
    missingPictures,
    // The service leaves pictures out only with a message (the photo decoder missing); it is
    // kept so a page can say why the card has no pictures.
    message: reply.errmsg,
    raw: reply,
    channel,
  };
  const kind = cardKind(reply);
  switch (kind) {
    case "foreigner":
      return {
        ...common,
        kind,
        englishName: text("NameEN"),
        nationalityCode: text("NationCode"),
        cardVersion: text("CardVer"),
        issuingAuthorityCode: text("IssAuthCode"),
        reserved: text("Reserved"),
      };
    case "hongkong-macau":
    case "taiwan":
      return {
        ...common,
        kind,
        address: text("Address"),
        issuedBy: text("Dept"),
        passNumber: text("PassId"),
        issueCount: text("IssNum"),
      };
    default:
      return {
        ...common,
        kind: "resident",
        ethnicity: text("Ethnicity"),
        address: text("Address"),
        issuedBy: text("Dept"),
        newAddress: text("NewAddress"),
      };
  }
}
