;;; tez-mode.el --- tezplayer scores with eglot and `tez lsp'  -*- lexical-binding: t -*-
;; Load it (M-x load-file, or (load "/path/to/tez-mode.el") in your init file); a .tez file
;; opens in tez-mode and eglot starts `tez lsp' for it. The output device is set with
;; `tez-device' (an id of `tez devices' or a unique part of a name; -1 the synthesizer).
;; C-c C-p plays from the line, C-c C-l loops the region's lines, C-c C-SPC pauses,
;; C-c C-s stops; the line that sounds is highlighted.
(require 'eglot)

(defvar tez-device -1 "The output device `tez lsp' plays on.")

(define-derived-mode tez-mode prog-mode "tez"
  "Major mode for tezplayer scores."
  (setq-local font-lock-defaults '((("[IiKkVvLlWwMm][ \t0-9]*[0-9]" . font-lock-constant-face)))))

(add-to-list 'auto-mode-alist '("\\.tez\\'" . tez-mode))

(defclass tez-server (eglot-lsp-server) () :documentation "`tez lsp'.")
(cl-defmethod eglot-initialization-options ((_server tez-server))
  (list :device tez-device))
(add-to-list 'eglot-server-programs '(tez-mode . (tez-server "tez" "lsp")))
(add-hook 'tez-mode-hook #'eglot-ensure)

(defvar-local tez--sounding nil "The overlay on the line that sounds.")

(cl-defmethod eglot-handle-notification ((_server tez-server) (_method (eql tez/soundingLine))
                                         &key uri line &allow-other-keys)
  (let ((buffer (find-buffer-visiting (eglot--uri-to-path uri))))
    (when buffer
      (with-current-buffer buffer
        (when tez--sounding (delete-overlay tez--sounding) (setq tez--sounding nil))
        (when (numberp line)
          (save-excursion
            (goto-char (point-min))
            (forward-line line)
            (setq tez--sounding (make-overlay (line-beginning-position) (1+ (line-end-position))))
            (overlay-put tez--sounding 'face 'highlight)))))))

(defun tez--run (command &rest arguments)
  (let ((answer (jsonrpc-request (eglot--current-server-or-lose) :workspace/executeCommand
                                 (list :command command :arguments (vconcat arguments)))))
    (message "tez: %s" answer)))

(defun tez--uri () (eglot--path-to-uri (buffer-file-name)))
(defun tez-play () "Play from this line." (interactive)
       (tez--run "tez.play" (tez--uri) (1- (line-number-at-pos))))
(defun tez-loop (start end) "Loop the lines of the region." (interactive "r")
       (tez--run "tez.loop" (tez--uri) (1- (line-number-at-pos start))
                 (1- (line-number-at-pos (if (and (> end start) (eq (char-before end) ?\n)) (1- end) end)))))
(defun tez-pause () "Pause or go on." (interactive) (tez--run "tez.pause"))
(defun tez-stop () "Stop." (interactive) (tez--run "tez.stop"))

(define-key tez-mode-map (kbd "C-c C-p") #'tez-play)
(define-key tez-mode-map (kbd "C-c C-l") #'tez-loop)
(define-key tez-mode-map (kbd "C-c C-SPC") #'tez-pause)
(define-key tez-mode-map (kbd "C-c C-s") #'tez-stop)

(provide 'tez-mode)
;;; tez-mode.el ends here
